#include "core/command_interpreter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/car_table.h"
#include "core/colour.h"
#include "core/command_line.h"
#include "core/command_word.h"
#include "core/controls.h"
#include "core/data_stream.h"
#include "core/debug_log.h"
#include "core/file_handover.h"
#include "core/keyboard_steer_file.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "platform/file_system.h"

char CommandErrorText[CommandErrorTextSize] = "";
int ScriptDepth = 0;

const char *const ControlFunctionNames[ControlFunctionNameCount] = {
    "steer_left", "steer_right", "steer_fast", "steer_slow", "throttle", "brake", "shift_up", "shift_down",
    "clutch", "handbrake", "left_view", "right_view", "rear_view", "horn", "flash", "reset", "pit_speed",
    "tc_disable", "ignition", "zoom_in", "zoom_out", "reverse", "gear_1", "gear_2", "gear_3", "gear_4",
    "gear_5", "gear_6", "gear_7", "ctrl_f1", "ctrl_f2", "ctrl_f3", "ctrl_f4", "ctrl_f5", "ctrl_f6",
    "ctrl_f7", "ctrl_f8", "ctrl_f9", "ctrl_f10", "ctrl_f11", "ctrl_f12", "alt_f1", "alt_f2", "alt_f3",
    "alt_f4", "alt_f5", "alt_f6", "alt_f7", "alt_f8", "alt_f9", "alt_f10", "alt_f11", "alt_f12",
};

const char *const AxisFunctionCommandNames[AxisFunctionNameCount] = {
    "steer", "combined", "throttle", "brake", "lookh", "lookp", "lookr", "clutch", "handbrake", "shiftx", "shifty",
};

static_assert(ControlFunctionNameCount == ButtonFunctionCount, "one name per button function");
static_assert(AxisFunctionNameCount == AxisFunctionCount, "one name per axis function");

namespace {

constexpr int CommandWordSize = 16;  // 15 characters and a zero
constexpr int ScriptLineLimit = 95;
constexpr int ScriptMessageLimit = 128;
constexpr int FileNameLimit = 31;
constexpr int ProgramTextLimit = 79;
constexpr int ShortNameLimit = 15;
constexpr int ReplayNameLimit = 63;
constexpr int FunctionKeyTextLimit = 63;
constexpr int FunctionKeyCount = 12;
constexpr int CtrlMessageBase = 8;
constexpr int AltMessageBase = 20;
constexpr int MaxAxis = 63;
constexpr int MaxButton = 383;
constexpr int NeedsTwoParameters = 41;
constexpr int ParameterNotValid = 47;
constexpr int ParameterTooLong = 48;
constexpr int UnknownCarParameter = 44;


const char *const NoYesWords[] = {"no", "yes"};
const char *const ViewNames[] = {"fol", "heli", "cam", "driver", "custom"};
const char *const ShifterWords[] = {"auto", "sequential", "shifter"};

struct ReservedKey {
    int character;
    const char *help;
};
const ReservedKey ReservedKeys[] = {
    {'1', "1 - watch replay"}, {'2', "2 - save replay"}, {'4', "4 - show racing line"},
    {',', ", - less force"},   {'.', ". - more force"},  {'\t', "TAB - next car"},
    {27, "HOME - own car"},    {'T', "T - talk"},        {'P', "P - pause"},
    {'H', "H - history"},      {'V', "V - view"},        {'F', "F - forces"},
    {'N', "N - names"},
};

CommandServices Services = {};

// What a command's run gives back to the entry: done, or on to the host's
// commands and chat.
enum CommandOutcome {
    CommandDone,
    CommandFallThrough,
};

struct CommandCall {
    CommandSource source;
    const char *text;      // the whole line
    const char *word;
    const char *argument;
    int quiet;
};

using CommandHandler = CommandOutcome (*)(const CommandCall &call);

void Print(const char *text, int colour)
{
    if (Services.printMessage) {
        Services.printMessage(text, colour);
    }
}

int Length(const char *text)
{
    return static_cast<int>(std::strlen(text));
}

float ClampFloat(float value, float low, float high)
{
    if (!(value >= low)) {
        return low;
    }
    return value > high ? high : value;
}

int ClampInt(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

// The first word of an argument (ended by a blank, '=' or the end, at most
// 15 characters kept) and the rest after the delimiter and the blanks.
const char *SplitFirstWord(const char *argument, char *word)
{
    const char *p = argument ? argument : "";
    int length = 0;
    while (*p && *p != ' ' && *p != '=') {
        if (length < CommandWordSize - 1) {
            word[length++] = *p;
        }
        ++p;
    }
    word[length] = 0;
    if (*p == ' ' || *p == '=') {
        ++p;
    }
    while (*p == ' ') {
        ++p;
    }
    return p;
}

bool IsWholeNumber(const char *word)
{
    const char *p = word[0] == '-' || word[0] == '+' ? word + 1 : word;
    if (*p == 0) {
        return false;
    }
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
    }
    return true;
}

// --- Chat ------------------------------------------------------------------------------

int NetworkRole()
{
    return Services.networkRole ? Services.networkRole() : CommandRoleOffline;
}

// The chat line to the other programs, the replays and the screen. A line
// that came from a command skips the rate limit and is never for InSim only.
void SendChat(const char *line, bool fromCommand)
{
    char text[ChatTextLimit + 1];
    CopyString(text, line, sizeof(text));
    bool inSimOnly = false;
    if (!fromCommand) {
        if (Services.canSendChatNow && !Services.canSendChatNow()) {
            return;
        }
        if (Services.isInSimPrefixInUse && Services.isInSimPrefixInUse(static_cast<unsigned char>(text[0]))) {
            inSimOnly = true;
        } else if (Services.resetMessageFilter) {
            Services.resetMessageFilter();
        }
    }
    uint8_t packet[ChatPacketBufferSize] = {};
    const int length = Length(text);
    const int size = (length + 1 + 4 + 3) & ~3;
    packet[0] = 1;
    packet[1] = static_cast<uint8_t>(size);
    std::memcpy(packet + 4, text, static_cast<size_t>(length));

    const int role = NetworkRole();
    if (role == CommandRoleGuest) {
        if (Services.sendChatPacket && (!Services.guestConnected || Services.guestConnected())) {
            Services.sendChatPacket(packet, size);
        }
    } else if (role == CommandRoleHost && !inSimOnly && Services.sendChatPacket) {
        Services.sendChatPacket(packet, size);
    }
    if (!inSimOnly) {
        if (Services.stashReliablePacket) {
            Services.stashReliablePacket(packet, size);
        }
        if (Services.sprRecordText) {
            Services.sprRecordText(packet, size);
        }
    }
    if (Services.printPlayerChat) {
        Services.printPlayerChat(text);
    }
}

// --- Commands ---------------------------------------------------------------------------

bool Require(const CommandCall &call)
{
    return RequireParameter(call.argument, call.quiet) != 0;
}

void Error(const CommandCall &call, const char *text)
{
    SetCommandError(text, call.quiet);
}

bool RefuseOutside(const CommandCall &call)
{
    if (call.source == CommandSourceOutside) {
        Error(call, Tx(Text_3k_notoutsd));
        return true;
    }
    return false;
}

// The word a stored line would run as ("say" lines looked through).
bool RunsRefusedWord(const char *line)
{
    for (int depth = 0; depth < 8 && line && line[0] == '/'; ++depth) {
        if (line[1] == '/') {
            return false;  // a script
        }
        char word[CommandWordSize];
        const char *rest = GetCommandWord(CommandWordSize, word, line);
        if (EqualsNoCase(word, "exec") || EqualsNoCase(word, "wait") || EqualsNoCase(word, "log") ||
            EqualsNoCase(word, "hlog")) {
            return true;
        }
        if (!EqualsNoCase(word, "say")) {
            return false;
        }
        line = rest;
    }
    return false;
}

// Session commands: the registered service does the work.
CommandOutcome Session(const CommandCall &call, SessionCommand command, const char *argument, int value)
{
    const char *error = Services.sessionCommand ? Services.sessionCommand(command, argument, value) : nullptr;
    if (error && error[0] == 0) {
        return CommandFallThrough;  // an empty text: not this command's case
    }
    if (error) {
        Error(call, error);
    }
    return CommandDone;
}

CommandOutcome RunCommand(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    if (Length(call.argument) > FileNameLimit) {
        Error(call, Tx(Text_3a_namelong));
        return CommandDone;
    }
    if (!IsPlainFileName(call.argument)) {
        Error(call, ResultText(ParameterNotValid));
        return CommandDone;
    }
    char path[64];
    std::snprintf(path, sizeof(path), "data\\script\\%s.kzv", call.argument);
    if (!FileExists(path)) {
        char text[128];
        if (call.quiet) {
            std::snprintf(text, sizeof(text), Tx(Text_3g_cantopen), path);
        } else {
            std::snprintf(text, sizeof(text), Tx(Text_3k_loaderrl), path);
        }
        Error(call, text);
        return CommandDone;
    }
    RunScriptFile(call.argument);
    return CommandDone;
}

CommandOutcome LogCommand(const CommandCall &call)
{
    if (RefuseOutside(call)) {
        return CommandDone;
    }
    if (call.argument[0] == 0) {
        DebugLogPath[0] = 0;
        return CommandDone;
    }
    if (Length(call.argument) > FileNameLimit) {
        Error(call, ResultText(ParameterTooLong));
        return CommandDone;
    }
    if (!CanAppendToFile(call.argument)) {
        Error(call, ResultText(ResultUnknownError));
        return CommandDone;
    }
    CopyString(DebugLogPath, call.argument, DebugLogPathSize);
    PlatformRemoveFile(DebugLogPath);
    LogVersion();
    return CommandDone;
}

CommandOutcome StartProgram(const CommandCall &call, int wait)
{
    if (RefuseOutside(call) || !Require(call)) {
        return CommandDone;
    }
    if (Length(call.argument) > ProgramTextLimit) {
        Error(call, ResultText(ParameterTooLong));
        return CommandDone;
    }
    char program[ProgramTextLimit + 1];
    int length = 0;
    const char *p = call.argument;
    while (*p && *p != ' ' && *p != '=') {
        program[length++] = *p++;
    }
    program[length] = 0;
    if (*p) {
        ++p;
    }
    while (*p == ' ') {
        ++p;
    }
    if (!Services.startProcess || Services.startProcess(program, p, wait) != 0) {
        Error(call, ResultText(ParameterNotValid));
    }
    return CommandDone;
}

CommandOutcome ExecCommand(const CommandCall &call)
{
    return StartProgram(call, 0);
}

CommandOutcome WaitCommand(const CommandCall &call)
{
    return StartProgram(call, 1);
}

CommandOutcome SayCommand(const CommandCall &call)
{
    if (Require(call)) {
        ExecuteCommand(call.source, call.argument, 1);
    }
    return CommandDone;
}

CommandOutcome EchoCommand(const CommandCall &call)
{
    if (Require(call)) {
        Print(call.argument, ColourLightGrey);
    }
    return CommandDone;
}

CommandOutcome ExitCommand(const CommandCall &)
{
    StartProgramExit(0);
    return CommandDone;
}

CommandOutcome EntryCommand(const CommandCall &)
{
    StartProgramExit(1);
    return CommandDone;
}

CommandOutcome ViewCommand(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    if (EqualsNoCase(call.argument, "save")) {
        return Session(call, SessionViewSave, call.argument, 0);
    }
    if (EqualsNoCase(call.argument, "reload")) {
        return Session(call, SessionViewReload, call.argument, 0);
    }
    const int view = MatchWord(call.argument, ViewNames, 5);
    if (view < 0) {
        Error(call, ResultText(ParameterNotValid));
        return CommandDone;
    }
    return Session(call, SessionViewSelect, call.argument, view);
}

// Commands that set one float setting from their argument, clamped.
struct FloatSettingCommand {
    const char *word;
    float *setting;
    float low;
    float high;
};
const FloatSettingCommand FloatSettingCommands[] = {
    {"ff", &FfStrength, 0.0f, 200.0f},
    {"head_tilt", &TiltDpg, 0.0f, 2.0f},
    {"lateral_shift", &Lspg, 0.0f, 0.1f},
    {"forward_shift", &Fspg, 0.0f, 0.1f},
    {"vertical_shift", &Vspg, 0.0f, 0.1f},
    {"wheel_turn", &WheelTurn, WheelTurnMin, WheelTurnMax},
};

CommandOutcome FloatSetting(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    for (const FloatSettingCommand &command : FloatSettingCommands) {
        if (EqualsNoCase(call.word, command.word)) {
            *command.setting = ClampFloat(ParseFloat(call.argument), command.low, command.high);
        }
    }
    return CommandDone;
}

CommandOutcome FovCommand(const CommandCall &call)
{
    return Require(call) ? Session(call, SessionFieldOfView, call.argument, 0) : CommandDone;
}

CommandOutcome PressCommand(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    int key = 0;
    if (Length(call.argument) == 1) {
        const char c = call.argument[0];
        key = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : static_cast<unsigned char>(c);
    } else {
        key = FindKeyByName(call.argument);
        if (key == 0) {
            Error(call, ResultText(ParameterNotValid));
            return CommandDone;
        }
    }
    const bool ctrl = EqualsNoCase(call.word, "ctrl");
    const bool shift = EqualsNoCase(call.word, "shift");
    const bool alt = EqualsNoCase(call.word, "alt");
    SimulateKeyPress(ctrl ? 1 : 0, shift ? 1 : 0, alt ? 1 : 0, key);
    return CommandDone;
}

// "axis" and "invert": a number and an axis function.
CommandOutcome AxisCommand(const CommandCall &call)
{
    int number = 0;
    char name[CommandWordSize];
    if (ParseIntArg(call.argument, &number, name, sizeof(name)) != 0) {
        Error(call, ResultText(NeedsTwoParameters));
        return CommandDone;
    }
    const int function = MatchWord(name, AxisFunctionCommandNames, AxisFunctionNameCount);
    if (function < 0) {
        Error(call, Tx(Text_3g_un_axs_f));
        return CommandDone;
    }
    if (EqualsNoCase(call.word, "invert")) {
        AxisBindingTable[function].invert = static_cast<uint16_t>(ClampInt(number, 0, 1));
    } else {
        AssignAxis(function, ClampInt(number, -1, MaxAxis));
    }
    return CommandDone;
}

CommandOutcome ButtonCommand(const CommandCall &call)
{
    int number = 0;
    char name[CommandWordSize];
    if (ParseIntArg(call.argument, &number, name, sizeof(name)) != 0) {
        Error(call, ResultText(NeedsTwoParameters));
        return CommandDone;
    }
    const int function = MatchWord(name, ControlFunctionNames, ControlFunctionNameCount);
    if (function < 0) {
        Error(call, Tx(Text_3g_un_btn_f));
        return CommandDone;
    }
    AssignButton(function, ClampInt(number, -1, MaxButton));
    return CommandDone;
}

CommandOutcome KeyCommand(const CommandCall &call)
{
    int character = 0;
    char name[CommandWordSize];
    const int result = ParseCharArg(call.argument, &character, name);
    if (result != 0) {
        Error(call, ResultText(result == ParameterNotValid ? ParameterNotValid : NeedsTwoParameters));
        return CommandDone;
    }
    const int function = MatchWord(name, ControlFunctionNames, KeyableFunctionCount);
    if (function < 0) {
        Error(call, Tx(Text_3g_un_key_f));
        return CommandDone;
    }
    for (const ReservedKey &reserved : ReservedKeys) {
        if (reserved.character == character) {
            Error(call, reserved.help);
            return CommandDone;
        }
    }
    AssignKey(function, character);
    return CommandDone;
}

// A "no"/"yes" argument: 0 or 1, or -1 after the error.
int NoYes(const CommandCall &call)
{
    if (!Require(call)) {
        return -1;
    }
    const int value = MatchWord(call.argument, NoYesWords, 2);
    if (value < 0) {
        Error(call, ResultText(ParameterNotValid));
    }
    return value;
}

CommandOutcome HideTextCommand(const CommandCall &call)
{
    const int value = NoYes(call);
    return value < 0 ? CommandDone : Session(call, SessionHideText, call.argument, value);
}

CommandOutcome ShowMouseCommand(const CommandCall &call)
{
    const int value = NoYes(call);
    if (value >= 0) {
        ShowMouse = value;
    }
    return CommandDone;
}

CommandOutcome ShifterCommand(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    const int mode = MatchWord(call.argument, ShifterWords, 3);
    if (mode < 0) {
        Error(call, ResultText(ParameterNotValid));
        return CommandDone;
    }
    return Session(call, SessionShifter, call.argument, mode);
}

CommandOutcome AutoClutchCommand(const CommandCall &call)
{
    return Require(call) ? Session(call, SessionAutoClutch, call.argument, ParseInt(call.argument) != 0)
                         : CommandDone;
}

// "ctrlf" and "altf": a function-key message.
CommandOutcome FunctionKeyCommand(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    int n = 0;
    char text[FunctionKeyTextLimit + 1];
    if (ParseIntArg(call.argument, &n, text, sizeof(text)) != 0) {
        Error(call, ResultText(NeedsTwoParameters));
        return CommandDone;
    }
    if (n < 1 || n > FunctionKeyCount) {
        Error(call, ResultText(ParameterNotValid));
        return CommandDone;
    }
    // The message would later run as the user's own line.
    if (call.source == CommandSourceOutside && RunsRefusedWord(text)) {
        Error(call, Tx(Text_3k_notoutsd));
        return CommandDone;
    }
    const int base = EqualsNoCase(call.word, "altf") ? AltMessageBase : CtrlMessageBase;
    if (Services.setFunctionKeyMessage) {
        Services.setFunctionKeyMessage(base + n - 1, text);
    }
    return CommandDone;
}

// "speedreduce" and "reducehalf": the setting of the steering kind in use.
CommandOutcome SteerReduceCommand(const CommandCall &call)
{
    const bool keyboard = ControlType == 0 && SteerKb != 0;
    const bool half = EqualsNoCase(call.word, "reducehalf");
    float *setting = half ? (keyboard ? &HalfReduceSpeedKb : &HalfReduceSpeedWm)
                          : (keyboard ? &SpeedSteerReductionKb : &SpeedSteerReductionWm);
    if (call.argument[0] != 0) {
        *setting = half ? ClampFloat(ParseFloat(call.argument), 10.0f, 200.0f)
                        : ClampFloat(ParseFloat(call.argument), 0.0f, 1.0f);
    }
    char text[64];
    std::snprintf(text, sizeof(text), half ? "reducehalf=%.2f" : "speedreduce=%.2f", static_cast<double>(*setting));
    Print(text, ColourLightGrey);
    return CommandDone;
}

// Checks a name argument that becomes part of a file path.
bool PlainNameArgument(const CommandCall &call, int limit)
{
    if (!Require(call)) {
        return false;
    }
    if (Length(call.argument) > limit) {
        Error(call, Tx(Text_3a_namelong));
        return false;
    }
    if (!IsPlainFileName(call.argument)) {
        Error(call, ResultText(ParameterNotValid));
        return false;
    }
    return true;
}

CommandOutcome KeyboardFileCommand(const CommandCall &call)
{
    if (!PlainNameArgument(call, FileNameLimit)) {
        return CommandDone;
    }
    if (EqualsNoCase(call.word, "loadkb")) {
        if (!ReadKeyboardSteerFile(call.argument)) {
            Error(call, ResultText(ResultCouldNotLoadFile));
        }
    } else if (!WriteKeyboardSteerFile(call.argument)) {
        Error(call, ResultText(ResultCouldNotSaveFile));
    }
    return CommandDone;
}

CommandOutcome CarCommand(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    const int car = FindCarByCode(call.argument);
    if (car < 0 || Length(call.argument) != 3) {
        Error(call, ResultText(UnknownCarParameter));
        return CommandDone;
    }
    return Session(call, SessionSelectCar, call.argument, car);
}

// "setup" and "colour": a named file of the selected car.
CommandOutcome CarFileCommand(const CommandCall &call)
{
    if (!PlainNameArgument(call, ShortNameLimit)) {
        return CommandDone;
    }
    const char *code = GetCarCodeByName(SelectedCarName);
    if (!code) {
        Error(call, ResultText(UnknownCarParameter));
        return CommandDone;
    }
    const bool setup = EqualsNoCase(call.word, "setup");
    char path[96];
    std::snprintf(path, sizeof(path), setup ? "data\\setups\\%s_%s.set" : "data\\colours\\%s_%s.col", code,
                  call.argument);
    if (!FileExists(path)) {
        Error(call, setup ? Tx(Text_3g_setup_nf) : Tx(Text_3g_colournf));
        return CommandDone;
    }
    return Session(call, setup ? SessionSetup : SessionColour, call.argument, 0);
}

CommandOutcome PlayerCommand(const CommandCall &call)
{
    if (!Require(call)) {
        return CommandDone;
    }
    char path[96];
    std::snprintf(path, sizeof(path), "data\\misc\\%s.ply", call.argument);
    if (!IsPlainFileName(call.argument)) {
        Error(call, ResultText(ParameterNotValid));
        return CommandDone;
    }
    if (Length(call.argument) >= PlayerNameSize || !FileExists(path)) {
        Error(call, Tx(Text_3a_plynotfd));
        return CommandDone;
    }
    return Session(call, SessionPlayer, call.argument, 0);
}

CommandOutcome SpecCommand(const CommandCall &call)
{
    if (call.argument[0] == 0 && DedicatedMode != DedicatedNone) {
        Error(call, Tx(Text_3g_comnoded));
        return CommandDone;
    }
    return Session(call, SessionSpectate, call.argument, 0);
}

// "join", "leave", "ai", "ready", "cancel": not on a dedicated host.
CommandOutcome DriverCommand(const CommandCall &call)
{
    const bool join = EqualsNoCase(call.word, "join");
    const bool leave = EqualsNoCase(call.word, "leave");
    if ((join || leave) && call.argument[0] != 0) {
        return CommandFallThrough;
    }
    if (DedicatedMode != DedicatedNone) {
        Error(call, Tx(Text_3g_comnoded));
        return CommandDone;
    }
    SessionCommand command = SessionAi;
    if (join) {
        command = SessionJoin;
    } else if (leave) {
        command = SessionLeave;
    } else if (EqualsNoCase(call.word, "ready")) {
        command = SessionReady;
    } else if (EqualsNoCase(call.word, "cancel")) {
        command = SessionCancel;
    }
    return Session(call, command, call.argument, 0);
}

CommandOutcome InSimCommand(const CommandCall &call)
{
    // Without an argument only the status is shown.
    if (call.argument[0] != 0) {
        const int port = ParseInt(call.argument);
        if (port >= 1 && port <= 65535) {
            if (Services.inSimStart) {
                Services.inSimStart(port);
            }
        } else if (Services.inSimStop) {
            Services.inSimStop();
        }
    }
    if (Services.printInSimStatus) {
        Services.printInSimStatus();
    }
    return CommandDone;
}

CommandOutcome InSimMessageCommand(const CommandCall &call)
{
    return Require(call) ? Session(call, SessionInSimMessage, call.argument, 0) : CommandDone;
}

CommandOutcome SinglePlayerCommand(const CommandCall &call)
{
    return Session(call, SessionSinglePlayer, call.argument, 0);
}

CommandOutcome MultiplayerCommand(const CommandCall &call)
{
    return Require(call) ? Session(call, SessionMultiplayer, call.argument, 0) : CommandDone;
}

CommandOutcome ReplayCommand(const CommandCall &call)
{
    if (!PlainNameArgument(call, ReplayNameLimit)) {
        return CommandDone;
    }
    if (!CanAcceptExternalFile()) {
        Error(call, Tx(Text_3g_comentry));
        return CommandDone;
    }
    const int type = EqualsNoCase(call.word, "mpr") ? PendingFileMpr : PendingFileSpr;
    CopyString(PendingFileName, call.argument, PendingFileNameSize);
    PendingFileType = type;
    return Session(call, SessionReplay, call.argument, type);
}

CommandOutcome ClearCommand(const CommandCall &call)
{
    return Session(call, SessionClear, call.argument, 0);
}

CommandOutcome OutCommand(const CommandCall &)
{
    return CommandDone;
}

struct CommandEntry {
    const char *word;
    CommandHandler handler;
};
const CommandEntry CommandTable[] = {
    {"run", RunCommand},
    {"log", LogCommand},
    {"exec", ExecCommand},
    {"wait", WaitCommand},
    {"say", SayCommand},
    {"echo", EchoCommand},
    {"exit", ExitCommand},
    {"entry", EntryCommand},
    {"view", ViewCommand},
    {"ff", FloatSetting},
    {"fov", FovCommand},
    {"head_tilt", FloatSetting},
    {"lateral_shift", FloatSetting},
    {"forward_shift", FloatSetting},
    {"vertical_shift", FloatSetting},
    {"wheel_turn", FloatSetting},
    {"press", PressCommand},
    {"ctrl", PressCommand},
    {"shift", PressCommand},
    {"alt", PressCommand},
    {"axis", AxisCommand},
    {"invert", AxisCommand},
    {"button", ButtonCommand},
    {"key", KeyCommand},
    {"hidetext", HideTextCommand},
    {"showmouse", ShowMouseCommand},
    {"shifter", ShifterCommand},
    {"autoclutch", AutoClutchCommand},
    {"ctrlf", FunctionKeyCommand},
    {"altf", FunctionKeyCommand},
    {"speedreduce", SteerReduceCommand},
    {"reducehalf", SteerReduceCommand},
    {"loadkb", KeyboardFileCommand},
    {"savekb", KeyboardFileCommand},
    {"car", CarCommand},
    {"setup", CarFileCommand},
    {"colour", CarFileCommand},
    {"player", PlayerCommand},
    {"spec", SpecCommand},
    {"join", DriverCommand},
    {"leave", DriverCommand},
    {"insim", InSimCommand},
    {"o", InSimMessageCommand},
    {"sp", SinglePlayerCommand},
    {"mp", MultiplayerCommand},
    {"spr", ReplayCommand},
    {"mpr", ReplayCommand},
    {"ai", DriverCommand},
    {"ready", DriverCommand},
    {"cancel", DriverCommand},
    {"clear", ClearCommand},
    {"out", OutCommand},
};
static_assert(sizeof(CommandTable) / sizeof(CommandTable[0]) == 52, "the command table has 52 words");

// Step 5: the host's admin commands, or chat.
void FallThrough(const CommandCall &call)
{
    const int role = NetworkRole();
    const bool replay = Services.replayPlaying && Services.replayPlaying();
    if (role == CommandRoleGuest && !replay) {
        SendChat(call.text, true);
        return;
    }
    if (call.source == CommandSourceOutside && EqualsNoCase(call.word, "hlog")) {
        Error(call, Tx(Text_3k_notoutsd));
        return;
    }
    char result[CommandErrorTextSize] = "";
    const int handled = Services.handleHostCommand
                            ? Services.handleHostCommand(call.text, result, static_cast<int>(sizeof(result)))
                            : 0;
    if (handled == 1) {
        return;
    }
    if (handled == 2) {
        Error(call, TranslateResultText(result));
        return;
    }
    SendChat(call.text, true);
}

// Builds the next script line into out; returns false when it is too long.
// line points at the line's start and is moved to the character that ended it.
bool BuildScriptLine(const char *&p, char *out)
{
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    int length = 0;
    if (*p != '/') {
        out[length++] = '/';
    }
    while (*p && *p != '\r' && *p != '\n') {
        if (static_cast<unsigned char>(*p) >= 32) {
            if (length == ScriptLineLimit) {
                return false;
            }
            out[length++] = *p;
        }
        ++p;
    }
    while (length > 0 && out[length - 1] == ' ') {
        --length;
    }
    out[length] = 0;
    return true;
}

void ScriptMessage(const char *format, const char *name, int line, const char *error)
{
    char text[512];
    std::snprintf(text, sizeof(text), format, name, line, error);
    text[ScriptMessageLimit] = 0;
    Print(text, ColourSalmon);
}

void RunScriptText(const char *name, const char *script)
{
    int line = 1;
    const char *p = script;
    while (*p) {
        char command[ScriptLineLimit + 1];
        if (!BuildScriptLine(p, command)) {
            ScriptMessage("%s : line %d is too long", name, line, "");
            return;
        }
        const bool comment = command[0] == '/' && command[1] == '/';
        const bool empty = command[0] == '/' && command[1] == 0;
        if (!comment && !empty) {
            CommandErrorText[0] = 0;
            ExecuteCommand(CommandSourceLocal, command, 1);
            if (CommandErrorText[0] != 0) {
                ScriptMessage("%s : line %d - %s", name, line, CommandErrorText);
            }
        }
        while (*p == '\r' || *p == '\n') {
            if (*p == '\n') {
                ++line;
            }
            ++p;
        }
    }
}

}  // namespace

void SetCommandServices(const CommandServices &services)
{
    Services = services;
}

void SetCommandError(const char *text, int quiet)
{
    if (quiet) {
        CopyString(CommandErrorText, text ? text : "", CommandErrorTextSize);
    } else {
        Print(text ? text : "", ColourSalmon);
    }
}

int RequireParameter(const char *argument, int quiet)
{
    if (argument && argument[0] != 0) {
        return 1;
    }
    SetCommandError(ResultText(ResultNeedsParameter), quiet);
    return 0;
}

int ParseIntArg(const char *argument, int *number, char *text, int textSize)
{
    char word[CommandWordSize];
    const char *rest = SplitFirstWord(argument, word);
    if (rest[0] == 0) {
        return NeedsTwoParameters;
    }
    if (IsWholeNumber(word)) {
        *number = ParseInt(word);
    }
    CopyString(text, rest, textSize);
    return 0;
}

int ParseCharArg(const char *argument, int *character, char *text)
{
    char word[CommandWordSize];
    const char *rest = SplitFirstWord(argument, word);
    if (rest[0] == 0) {
        return NeedsTwoParameters;
    }
    if (word[0] == 0 || word[1] != 0) {
        return ParameterNotValid;
    }
    const char c = word[0];
    *character = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : static_cast<unsigned char>(c);
    CopyString(text, rest, ShortNameLimit + 1);
    return 0;
}

void ExecuteCommand(CommandSource source, const char *text, int quiet)
{
    if (!text || text[0] == 0 || (text[0] == '/' && text[1] == 0)) {
        return;
    }
    if (text[0] != '/') {
        SendChat(text, false);
        return;
    }

    char word[CommandWordSize];
    const char *argument = nullptr;
    if (text[1] == '/') {
        std::snprintf(word, sizeof(word), "run");
        argument = text + 2;
        while (*argument == ' ') {
            ++argument;
        }
    } else {
        argument = GetCommandWord(CommandWordSize, word, text);
    }
    if (EqualsNoCase(word, "me")) {
        if (Services.canSendCommandNow && !Services.canSendCommandNow()) {
            return;
        }
        if (Services.resetMessageFilter) {
            Services.resetMessageFilter();
        }
    } else if (!quiet && Services.printHiddenMessage) {
        Services.printHiddenMessage(text);
    }

    const CommandCall call = {source, text, word, argument, quiet};
    for (const CommandEntry &entry : CommandTable) {
        if (EqualsNoCase(word, entry.word)) {
            if (entry.handler(call) == CommandDone) {
                return;
            }
            break;
        }
    }
    FallThrough(call);
}

void RunScriptFile(const char *name)
{
    if (!name) {
        return;
    }
    if (ScriptDepth >= ScriptDepthLimit) {
        Print(Tx(Text_3g_scrtooma), ColourSalmon);
        return;
    }
    char path[64];
    std::snprintf(path, sizeof(path), "data\\script\\%s.kzv", name);
    FILE *file = PlatformOpenFile(path, "rb");
    if (!file) {
        return;
    }
    char *script = static_cast<char *>(std::malloc(ScriptSizeLimit + 2));
    const size_t size = script ? std::fread(script, 1, ScriptSizeLimit + 1, file) : 0;
    std::fclose(file);
    if (!script || size > static_cast<size_t>(ScriptSizeLimit)) {
        std::free(script);
        Print(Tx(Text_3g_scrtoolo), ColourSalmon);
        return;
    }
    if (size == 0) {
        std::free(script);
        Print(Tx(Text_3g_scrempty), ColourSalmon);
        return;
    }
    script[size] = 0;
    ++ScriptDepth;
    RunScriptText(name, script);
    --ScriptDepth;
    std::free(script);
}
