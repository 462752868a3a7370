#pragma once

// What the music player shows through the layers above it, registered by
// the program at start-up. Until a link is registered every text becomes a
// message line (through the race's printer) and pages are never closing.
struct MusicLink {
    // A warning line (salmon, with the warning sound).
    void (*printWarning)(const char *text);
    // An information line with the message chime.
    void (*printInfoBeep)(const char *text);
    // The load-file error line of a file that did not open.
    void (*printLoadFileError)(const char *path);
    // A notice on the head-up display (a message line when the HUD is not
    // drawn); colour is one of the message colours.
    void (*showHudMessage)(const char *text, int colour);
    // Non-zero while the pages are being closed.
    int (*pagesClosing)();
};
void SetMusicLink(const MusicLink &link);

void MusicPrintWarning(const char *text);
void MusicPrintInfoBeep(const char *text);
void MusicPrintLoadFileError(const char *path);
void MusicShowHudMessage(const char *text, int colour);
int MusicPagesClosing();
