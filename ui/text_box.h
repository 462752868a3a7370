#pragma once

struct MenuPage;

// A message for the user over a page: a box with the text and an OK button
// when the page exists and has no child open, else a message line in the
// warning colour. Until the dialogs exist every text goes to a message line.
void ShowTextBox(MenuPage *page, const char *text);
// ShowTextBox of the two texts joined as "%s %s" (an error and a file name).
void ShowTextBox2(MenuPage *page, const char *text, const char *text2);
