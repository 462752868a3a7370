#pragma once

struct MenuPage;

// The entry page's opening of a replay: a queued name is opened over a few
// passes (the file, the track, the players, the length) and played in a
// session run over the entry page.

// Kinds of a queued replay.
constexpr int ReplayKindSingle = 0;
constexpr int ReplayKindMulti = 1;

// Queues a replay when none is opening; a request while one opens is
// ignored.
void QueueReplayToOpen(MenuPage *page, const char *name, int kind);
// The replay-open state (0 idle, 1..7 opening).
int ReplayOpenState();
// A replay opened from the entry page is playing.
int EntryReplaySessionShown();
// The pending external file: queued in the normal start mode, and its kind
// cleared in every start mode.
void TakePendingExternalFile(MenuPage *page);
// One pass of the opening and, while a replay plays, of its session.
void RunEntryReplay(MenuPage *page);
// Forgets an opening and a replay session (the entry page closes).
void ResetEntryReplay();
