#pragma once

#include <cstdint>

#include "core/command_interpreter.h"

struct MenuPage;
struct Path;
struct PlayerSlot;

// The race setup page (page name "setup"): the lobby of a race. While no
// game session exists it runs the session frames itself, so that every
// change of the grid (a driver joining, a car record, a ready vote) travels
// as a game packet and is applied in frame order, offline too. When every
// connection with drivers is ready the race starts and the page enters the
// game session; from then on it only runs the session's frames until the
// session ends and the lobby shows again. Leaving saves the "cfg" grid.

extern MenuPage *SetupScreenPtr;

// Creates the page (offline: a new race over the "cfg" grid, or the local
// driver alone) and makes it current.
MenuPage *SetupScreen(MenuPage *parent);
// "sp": opens the page as the entry page's child; null when opened, else
// the refusal text.
const char *OpenSetupFromMenu();
// 1 when the page exists, has no child open and no game session exists.
int IsSetupScreenIdle();

// The ready vote, its cancel and the join, for the interpreter and the keys.
void SetupReady();
void SetupCancelReady();
void SetupJoinRace();
// The race starts when it has drivers and every connection with a driver on
// the grid is ready (called by the ready vote's packet).
void StartRaceFromSetup();
// 1 while a local or local-AI slot waits for its car record or has no car.
int IsGridIncomplete();
// The AI drivers' check before the ready vote: 1 passes.
int SetupAiDriver(MenuPage *page);
// Why computer drivers cannot drive on a configuration whose path is `line`
// (forStart: in the session about to start), or null.
const char *AiCannotDriveReason(const Path *line, int forStart);
// "add AI driver": the next free computer driver joins with the chosen car.
void SetupAddAi();
// A driver leaves the grid (MP_REMOVE_PLAYER 0); every local driver does.
void RemoveGridDriver(const PlayerSlot *slot);
void SpectateLocalDrivers();
// The rule flags: 0x23 plus bits 6 and 7 of "MP Flags ".
void UpdateRuleFlagsFromOptions();
// A grid file read: the local driver's car and the race settings taken.
void ApplyRaceFileSettings();

// The offline lobby's clock rebase once the game clock reaches 61,000 ms:
// the clock, InitTime and every frame counter move back together.
void RebaseLobbyClock();

// The race-setup commands ("sp", "join", "ready", "cancel", "clear", "car",
// "spec"): null when done, else the English error text ("" lets the
// interpreter treat the line as chat). Other commands do nothing.
const char *RaceSetupCommand(SessionCommand command, const char *argument, int value);

// Until the front end's menus exist the program starts a race at once: when
// the "cfg" grid exists, the entry page opens this page and the ready vote
// is given as soon as every driver of the grid has its car. 1 when opened.
int StartRaceAtStartup();

// The hooks of the grid packets and of the world's race-setup entries.
void RegisterSetupScreen();
