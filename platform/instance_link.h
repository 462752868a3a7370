#pragma once

#include <cstddef>

// The link between a starting program and one that already runs in the same
// folder: a Unix-domain stream socket file in the program folder. The
// running program listens; the starter connects, sends one request and waits
// a bounded time for a one-byte reply.
//
// Request: one byte, the type 1..4, then for types 1 and 2 a name of at most
// 63 characters and its terminating zero. Reply: one byte.
//
// Socket paths are short (108 bytes): give a name relative to the current
// folder, and call these only once inside the program folder.

constexpr int InstanceNameLimit = 63;         // characters of a request's name
constexpr int InstanceReplyTimeoutMs = 5000;  // how long a starter waits for the reply
constexpr int InstanceReplyFailed = -1;       // no reply: refused, closed or timed out
constexpr int InstanceBadRequestReply = 4;    // the name could not be read

// Answers one complete request: type 1..4 and the name ("" for types 3 and 4).
using InstanceRequestHandler = int (*)(int type, const char *name);

// 1 when a live program listens on the socket file; never waits. A socket
// file nobody listens on counts as none.
int PlatformInstanceProbe(const char *socketName);

// Starts listening (file mode 0600). A stale socket file is removed first.
// Returns 1 when listening, 0 when a live program holds the socket (then
// nothing is listened to), -1 on another error.
int PlatformInstanceListen(const char *socketName);

// One pass of the listener, without blocking: takes new connections, reads
// what has arrived, answers every complete request through the handler and
// keeps incomplete ones for the next pass. Does nothing while not listening.
void PlatformInstanceServe(InstanceRequestHandler handler);

// Stops listening and removes the socket file this program created.
void PlatformInstanceClose();

// The starter's side: connects, sends the request and waits at most
// timeoutMs for the reply byte. Returns the reply, or InstanceReplyFailed.
int PlatformInstanceSend(const char *socketName, int type, const char *name, int timeoutMs);

// Sends the bytes as they are (any length, well-formed or not) and closes the
// connection without waiting for a reply: what a damaged or hostile starter
// may send. Returns 1 when connected and sent, else 0. For the tests.
int PlatformInstanceSendBytes(const char *socketName, const void *bytes, size_t size);
