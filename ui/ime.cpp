#include "ui/ime.h"

// The keyboard's code page stays the one the window layer starts with, and no
// input method is used yet.

void UpdateKeyboardCodePage(int)
{
}

void UpdateImeState()
{
}
