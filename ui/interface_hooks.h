#pragma once

// Registers the interface's services with the core layers that call up into
// it: the data-file stream shows its opening errors through ShowTextBox2.
// Called once at start-up, before the first data file is read.
void InitInterfaceHooks();
