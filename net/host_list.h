#pragma once

// Frees the list of hosts received from the master server; harmless when
// there is none.
void ClearHostRecords();
