#pragma once

// Closes every InSim guest and socket and lets the game clock run again;
// harmless when InSim was never started.
void InSimStop();

// The screenshot an InSim guest asked for: the asking connection (0..7; 8
// or more: none) and the file name it gave. Set by IS_SSH.
constexpr int InSimShotNameLength = 32;
extern int InSimShotConnection;
extern char InSimShotName[InSimShotNameLength];

// Tells the guests how the asked-for screenshot went (IS_SSH: error 0
// saved, 3 failed). Nothing happens while no guest is connected.
void InSimNotifyScreenshot(int error);

// Non-zero while InSim runs (no guest can connect yet: 0).
int InSimActive();
// Non-zero when a connected guest uses this character as its message prefix.
int IsInSimPrefixInUse(char prefix);
// Sends a message line to the guests, in the message-out packet's field
// order; nothing while no guest is connected.
void InSimSendMessageOut(int connectionId, int playerId, int userType, int textStart, const char *text);
