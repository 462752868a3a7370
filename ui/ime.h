#pragma once

// The input method editor of the text entry. The keyboard's code page is
// kept by the font module (UpdateKeyboardCodePage, ui/font.h).

// Refreshes the input method's open state, candidate window and keyboard
// code page after an input-language change or an input-method notification.
void UpdateImeState();
