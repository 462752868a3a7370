#pragma once

// The single-player replays in the program: the recorder and player in the
// session's entries, recorded game packets, and the chat messages replayed
// through the reliable-packet handler.
void RegisterReplayServices();
