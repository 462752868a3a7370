#pragma once

// The multiplayer session's state that the shell and the window read.

// 1 when this program hosts or plays alone, 0 on a guest.
extern int IsHost;
// Set on a guest once the host answered its UDP contact: position packets
// then travel over UDP.
extern int GuestUdpContact;

// Creates the lock of the connected-socket table; once at start-up.
void InitNetLock();
// Online, hosting and not playing a replay.
bool IsOnlineHost();
// Removes every connection but the host's own and closes the sockets;
// harmless with no guests.
void RemoveAllGuests();
// A guest asks the host to send position updates over TCP.
void RequestTcpPositions();
