#include "ui/ime.h"

#include "ui/font.h"

// No input method is used yet: a change of the input language only takes
// the keyboard's new code page.
void UpdateImeState()
{
    UpdateKeyboardCodePage(1);
}
