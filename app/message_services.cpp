#include "app/message_services.h"

#include "audio/interface_sound.h"
#include "core/settings.h"
#include "insim/insim.h"
#include "scene/hud.h"
#include "ui/message_lines.h"

namespace {

// Until the network layer keeps a connection table, the only connection is
// this program's own, named by "Ply Name ".
int OwnConnectionCount()
{
    return 1;
}

const char *OwnPlayerName(int)
{
    return PlayerName.name;
}

int NoId(int)
{
    return 0;
}

int CurrentHudShown()
{
    return HudShown;
}

}  // namespace

void RegisterMessageServices()
{
    SetMessageMainThread();
    MessageLineServices services = {};
    services.connectionCount = OwnConnectionCount;
    services.playerName = OwnPlayerName;
    services.inSimConnectionId = NoId;
    services.playerId = NoId;
    services.inSimActive = InSimActive;
    services.isInSimPrefixInUse = IsInSimPrefixInUse;
    services.inSimSendMessageOut = InSimSendMessageOut;
    // messagesSuppressed stays unset: the game session keeps no flag that
    // holds its messages back, so no line is suppressed by it.
    services.hudShown = CurrentHudShown;
    services.playInterfaceSound = PlayInterfaceSound;
    SetMessageLineServices(services);
}
