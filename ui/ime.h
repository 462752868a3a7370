#pragma once

// The keyboard's code page and the input method editor of the text entry.

// Takes the keyboard layout's code page as the one typed characters are read
// in; with announce a change is shown as a message line, else logged.
void UpdateKeyboardCodePage(int announce);
// Refreshes the input method's open state, candidate window and keyboard
// code page after an input-language change or an input-method notification.
void UpdateImeState();
