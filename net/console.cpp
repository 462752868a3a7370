#include "net/console.h"

// The console window is not drawn yet: message lines reach standard output
// through the message printer's echo instead, and typed lines are not taken.

void StartConsole()
{
}

void UpdateConsole()
{
}

void PaintConsole()
{
}

void ConsoleOnKey(int)
{
}
