#pragma once

// Hands the command line reader, the file hand-over and the command
// interpreter the services of the subsystems above core. Once at start-up.
void RegisterCommandServices();
