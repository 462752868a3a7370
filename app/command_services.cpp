#include "app/command_services.h"

#include "core/colour.h"
#include "core/command_interpreter.h"
#include "core/command_line.h"
#include "core/file_handover.h"
#include "core/text_utils.h"
#include "insim/insim.h"
#include "net/chat_limits.h"
#include "net/net_session.h"
#include "platform/process.h"
#include "race/driver_names.h"
#include "race/game_state.h"
#include "race/spr_file.h"
#include "screens/main_menu.h"
#include "screens/setup_screen.h"
#include "net/game_batch.h"
#include "net/race_setup_packets.h"
#include "screens/track_sites.h"
#include "ui/message_lines.h"

namespace {

const char *FindSiteByCode(const char *code, int config, int *configCount, int *reversible)
{
    for (const TrackSite &site : SiteTable) {
        if (site.name && site.code && EqualsNoCase(site.code, code)) {
            *configCount = site.configCount;
            *reversible = config >= 1 && config <= MaxSiteConfigs ? site.reversible[config - 1] : 0;
            return site.name;
        }
    }
    return nullptr;
}

void PrintNotice(const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void PrintColoured(const char *text, int colour)
{
    if (colour < 0 || colour >= MessageColourCount) {
        colour = ColourLightGrey;
    }
    PrintMessage(text, &MessageColours[colour]);
}

void PrintHidden(const char *text)
{
    AddMessageLine(text, &MessageColours[ColourGrey], MessageTargetHidden);
}

// The own connection's chat, as a chat packet of connection 0 would show it.
void PrintChat(const char *text)
{
    uint8_t packet[4 + MessageTextSize] = {};
    CopyString(reinterpret_cast<char *>(packet + 4), text, MessageTextSize);
    PrintPlayerChat(packet, 0);
}

int ChatRateAllows()
{
    return CanSendChatNow() ? 1 : 0;
}

int CurrentNetworkRole()
{
    if (!OnlineFlag) {
        return CommandRoleOffline;
    }
    return IsHost ? CommandRoleHost : CommandRoleGuest;
}

int ReplayPlaying()
{
    return MultiplayerReplayPlaying;
}

void SetFunctionKeyMessage(int index, const char *text)
{
    if (index >= 0 && index < FKeyMessageCount) {
        CopyString(FKeyMessages[index], text, FKeyMessageSize);
    }
}

int StartProcess(const char *program, const char *argument, int wait)
{
    if (wait) {
        return PlatformRunProcess(program, argument) < 0 ? -1 : 0;
    }
    return PlatformStartProcess(program, argument);
}

// A chat line goes to the host as MP_TEXT; offline and on the host nobody
// else is connected yet.
void SendChatPacket(const uint8_t *packet, int size)
{
    if (!IsHost) {
        SendReliableToHost(packet, size);
    }
}

}  // namespace

void RegisterCommandServices()
{
    InitCommandKeywords();
    CommandLineServices line = {};
    line.findTrackSite = FindSiteByCode;
    line.printNotice = PrintNotice;
    SetCommandLineServices(line);

    FileHandOverServices files = {};
    files.canAcceptExternalFile = CanMainMenuTakeFile;
    SetFileHandOverServices(files);

    CommandServices commands = {};
    commands.printMessage = PrintColoured;
    commands.printHiddenMessage = PrintHidden;
    commands.printPlayerChat = PrintChat;
    commands.canSendChatNow = ChatRateAllows;
    commands.networkRole = CurrentNetworkRole;
    commands.replayPlaying = ReplayPlaying;
    commands.inSimStop = InSimStop;
    commands.setFunctionKeyMessage = SetFunctionKeyMessage;
    commands.startProcess = StartProcess;
    commands.sessionCommand = RaceSetupCommand;
    commands.sendChatPacket = SendChatPacket;
    commands.sprRecordText = SprRecordText;
    SetCommandServices(commands);
}
