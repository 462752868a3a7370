#pragma once

// What the interface framework calls of the layers above it (sound, the
// session), handed over once at start-up by the program. A null member does
// nothing.
struct UiServices {
    const int *captionRaise;               // the session frame's caption-raise flag
    void (*playInterfaceSound)(int sound);
};

extern UiServices UiLink;
void SetUiServices(const UiServices &services);

// The warning message of the interface framework: a salmon line with
// interface sound 4.
void UiWarning(const char *text);
