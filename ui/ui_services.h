#pragma once

#include <cstdint>

struct MenuPage;

// What the interface framework calls of the layers above it (sound, the
// session), handed over once at start-up by the program. A null member does
// nothing.
struct UiServices {
    const int *captionRaise;               // the caption line moved up to y -0.92 (the HUD's flag)
    void (*playInterfaceSound)(int sound);
    void (*forwardSessionKey)(int code);   // a page key no page uses goes to the session
    void (*toggleSoundOnOff)();
    void (*cancelReplayBarDrag)();
    // Test seams of the dialogs still to come: when set they receive what
    // OpenTextInput and OpenMessageEntry are asked.
    void (*openTextInput)(MenuPage *owner, const char *prompt, int maxLength,
                          void (*answer)(MenuPage *owner, const char *text));
    void (*openMessageEntry)(MenuPage *page, const char *initial);
    // The text input dialog with every argument (answer value, initial text,
    // cursor, entry mode, file pattern), as the text-field rows open it.
    void (*openTextInputDialog)(MenuPage *page, void (*answer)(MenuPage *parent, const char *text, intptr_t value),
                                const char *title, int maxLength, intptr_t answerValue, const char *initial,
                                int cursor, int mode, const char *filePattern);
    // The help screen of a settings row's "?" button: a new page, or null.
    MenuPage *(*createHelpScreen)(MenuPage *parent, const char *title, const char *section, int mode);
};

extern UiServices UiLink;
void SetUiServices(const UiServices &services);

// The warning message of the interface framework: a salmon line with
// interface sound 4.
void UiWarning(const char *text);
