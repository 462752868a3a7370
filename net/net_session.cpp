#include "net/net_session.h"

#include "race/game_state.h"

int IsHost = 1;
int GuestUdpContact = 0;

// No sockets exist yet: nothing to lock, no guest to remove and no host to
// ask, so these do nothing.

void InitNetLock()
{
}

void RemoveAllGuests()
{
}

void RequestTcpPositions()
{
}

bool IsOnlineHost()
{
    return OnlineFlag != 0 && IsHost != 0 && MultiplayerReplayPlaying == 0;
}
