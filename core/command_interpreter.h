#pragma once

#include <cstdint>

// The command interpreter: every line a user or an outside program types.
// A line beginning with "/" is a command ("/word argument"); any other line
// is chat for the other programs of a multiplayer session, recorded in the
// replays and shown locally. Words this table does not know go on to the
// host's admin commands, and failing those travel as chat.
//
// Who typed the line matters: an outside program (an InSim program or the
// master server) may not start programs, name files to delete, or store a
// function-key message that would later do so as the user.

enum CommandSource {
    CommandSourceLocal = 0,    // pages, keys, console, scripts
    CommandSourceOutside = 1,  // InSim message packets, the master server
};

constexpr int CommandErrorTextSize = 92;  // 91 characters and a zero
constexpr int ChatPacketBufferSize = 100;
constexpr int ChatTextLimit = 95;
constexpr int ScriptDepthLimit = 16;
constexpr int ScriptSizeLimit = 2048;

// The last error of a quiet call.
extern char CommandErrorText[CommandErrorTextSize];
// Scripts being run (nesting).
extern int ScriptDepth;

// Runs one line. With quiet 0 errors are salmon message lines; with quiet 1
// they go to CommandErrorText.
void ExecuteCommand(CommandSource source, const char *text, int quiet);

// Runs data\script\<name>.kzv, each line quietly; errors are reported with
// the script's name and line number.
void RunScriptFile(const char *name);

// "n text": the first word read as a number (left unchanged when it is not
// one) and the rest copied into text (at most textSize - 1 characters).
// Returns 0, or 41 when there is no second part.
int ParseIntArg(const char *argument, int *number, char *text, int textSize);
// "c text": the first word's character in upper case and the rest (at most
// 15 characters). Returns 0, 41 without a second part, 47 when the first
// word is longer than one character.
int ParseCharArg(const char *argument, int *character, char *text);

// The error routing of the call contract: quiet 0 a salmon message line,
// quiet 1 CommandErrorText (cut to 91 characters).
void SetCommandError(const char *text, int quiet);
// 1 when the argument is not empty; else the error "This command needs a
// parameter" and 0.
int RequireParameter(const char *argument, int quiet);

// The commands whose effect lies wholly in the race session, the screens,
// the views or InSim; the interpreter checks their arguments first.
enum SessionCommand {
    SessionViewSave,         // "view save"
    SessionViewReload,       // "view reload"
    SessionViewSelect,       // "view <name>": value 0..4
    SessionFieldOfView,      // "fov": float in the argument text
    SessionHideText,         // value 0 or 1
    SessionShifter,          // value 0 auto, 1 sequential, 2 shifter
    SessionAutoClutch,       // value 0 or 1
    SessionSelectCar,        // value: the car's index
    SessionSetup,            // argument: the set-up name (file checked)
    SessionColour,           // argument: the colour name (file checked)
    SessionPlayer,           // argument: the player name (file checked)
    SessionSpectate,         // argument: a driver name or ""
    SessionJoin,
    SessionLeave,
    SessionAi,               // argument: an AI driver name or ""
    SessionReady,
    SessionCancel,
    SessionClear,
    SessionSinglePlayer,     // "sp"
    SessionMultiplayer,      // "mp": argument "address port", checked
    SessionReplay,           // "spr"/"mpr": value 1 or 2, argument the name
    SessionInSimMessage,     // "o": argument the text
};

// Network roles as the interpreter sees them.
enum CommandNetworkRole {
    CommandRoleOffline = 0,
    CommandRoleHost = 1,
    CommandRoleGuest = 2,
};

// The services of the subsystems above core that the commands call. The
// program registers them at start-up; a null member does nothing and answers
// 0 (null for the texts).
struct CommandServices {
    void (*printMessage)(const char *text, int colour);  // colour: a MessageColour
    void (*printHiddenMessage)(const char *text);        // grey; stored, not drawn
    void (*printPlayerChat)(const char *text);           // the own connection's chat
    void (*resetMessageFilter)();
    int (*canSendChatNow)();         // the chat rate limit; null: always
    int (*canSendCommandNow)();      // the guest's command rate limit; null: always
    int (*networkRole)();            // CommandNetworkRole
    int (*guestConnected)();
    int (*replayPlaying)();          // a multiplayer replay plays
    // The host's admin commands: 0 not one, 1 handled, 2 refused with the
    // English text in result.
    int (*handleHostCommand)(const char *text, char *result, int resultSize);
    // A guest's packet goes to the host, a host's to every established
    // connection.
    void (*sendChatPacket)(const uint8_t *packet, int size);
    void (*stashReliablePacket)(const uint8_t *packet, int size);
    // The chat packet kept in a single-player recording.
    void (*sprRecordText)(const uint8_t *packet, int size);
    int (*isInSimPrefixInUse)(int character);
    void (*inSimStart)(int port);
    void (*inSimStop)();
    void (*printInSimStatus)();
    // The function-key message index (0..31) gets the text.
    void (*setFunctionKeyMessage)(int index, const char *text);
    // A command of the race session or the screens: null when done, else its
    // English error text.
    const char *(*sessionCommand)(SessionCommand command, const char *argument, int value);
    // "exec" and "wait": 0 started (for wait: ended), -1 could not start.
    int (*startProcess)(const char *program, const char *argument, int wait);
};
void SetCommandServices(const CommandServices &services);

// The names the commands bind by, in table order.
constexpr int ControlFunctionNameCount = 53;
constexpr int KeyableFunctionCount = 29;
constexpr int AxisFunctionNameCount = 11;
extern const char *const ControlFunctionNames[ControlFunctionNameCount];
extern const char *const AxisFunctionCommandNames[AxisFunctionNameCount];
