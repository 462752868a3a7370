#pragma once

struct MenuPage;

// What the sound layer reads of the layers above it, registered by the
// program at start-up. Until a link is registered the sound plays as in a
// plain session at normal speed: no fast-forward, mode word 0, no race-vote
// countdown, system messages shown; texts go to message lines.

// The game session's state as far as sound cares.
struct SoundSessionLink {
    // Non-zero while the session fast-forwards (interface sounds are dropped).
    int (*fastForward)();
    // The session mode word; 2 silences the interface sounds.
    int (*modeWord)();
    // Ticks left of the race vote's countdown to a race end or restart, 0
    // when none runs (the car sound fades out over its last 100 ticks).
    int (*raceVoteCountdown)();
    // The message lines' system-message setting; 2 silences the system
    // message sound.
    int (*systemMessageSetting)();
};
void SetSoundSessionLink(const SoundSessionLink &link);

int SoundSessionFastForward();
int SoundSessionModeWord();
int SoundSessionRaceVoteCountdown();
int SoundSessionSystemMessageSetting();

// The message line and the text box for texts followed by a name in the
// Latin code page (a step text, a file path).
struct SoundTextLink {
    void (*printMessageLatinTail)(const char *text, const char *tail, int colour);
    void (*showTextBoxLatinTail)(MenuPage *page, const char *text, const char *tail);
};
void SetSoundTextLink(const SoundTextLink &link);

void SoundPrintMessageLatinTail(const char *text, const char *tail, int colour);
// Over the page when there is one; with no page (the sample load at start)
// the text becomes a message line in the warning colour.
void SoundShowTextBoxLatinTail(MenuPage *page, const char *text, const char *tail);
