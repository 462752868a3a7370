#include "platform/instance_link.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr int MaxConnections = 8;
constexpr int RequestSize = 1 + InstanceNameLimit + 1;
constexpr int64_t ConnectionLifeMs = 5000;

struct Connection {
    int fd;  // -1: free
    int length;
    int64_t openedMs;
    unsigned char bytes[RequestSize];
};

int ListenFd = -1;
char ListenPath[sizeof(sockaddr_un::sun_path)];
dev_t ListenDevice = 0;
ino_t ListenInode = 0;
Connection Connections[MaxConnections];
bool ConnectionsReady = false;

int64_t NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool MakeAddress(const char *name, sockaddr_un *address)
{
    if (!name || std::strlen(name) >= sizeof(address->sun_path)) {
        return false;
    }
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    std::strcpy(address->sun_path, name);
    return true;
}

// A non-blocking connected socket, or -1 with errno set.
int ConnectTo(const char *name)
{
    sockaddr_un address;
    if (!MakeAddress(name, &address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void Drop(Connection &connection)
{
    if (connection.fd >= 0) {
        close(connection.fd);
    }
    connection.fd = -1;
    connection.length = 0;
}

void Reply(Connection &connection, int reply)
{
    const unsigned char byte = static_cast<unsigned char>(reply);
    // The starter may have gone: no SIGPIPE.
    (void)send(connection.fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    Drop(connection);
}

// Answers the connection's request once it is complete.
void TryAnswer(Connection &connection, InstanceRequestHandler handler)
{
    if (connection.length < 1) {
        return;
    }
    const int type = connection.bytes[0];
    if (type < 1 || type > 4) {
        Reply(connection, 0);
        return;
    }
    if (type >= 3) {
        Reply(connection, handler ? handler(type, "") : 0);
        return;
    }
    const void *end = std::memchr(connection.bytes + 1, 0, static_cast<size_t>(connection.length - 1));
    if (end) {
        Reply(connection, handler ? handler(type, reinterpret_cast<const char *>(connection.bytes + 1)) : 0);
    } else if (connection.length == RequestSize) {
        Reply(connection, InstanceBadRequestReply);
    }
}

void AcceptNew(int64_t now)
{
    for (Connection &connection : Connections) {
        if (connection.fd >= 0) {
            continue;
        }
        const int fd = accept4(ListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        connection.fd = fd;
        connection.length = 0;
        connection.openedMs = now;
    }
}

}  // namespace

int PlatformInstanceProbe(const char *socketName)
{
    const int fd = ConnectTo(socketName);
    if (fd < 0) {
        return 0;
    }
    close(fd);
    return 1;
}

int PlatformInstanceListen(const char *socketName)
{
    if (ListenFd >= 0) {
        return 1;
    }
    sockaddr_un address;
    if (!MakeAddress(socketName, &address)) {
        return -1;
    }
    const int probe = ConnectTo(socketName);
    if (probe >= 0) {
        close(probe);
        return 0;
    }
    if (errno == ECONNREFUSED) {
        // Left behind by a program that ended without removing it.
        struct stat info{};
        if (lstat(socketName, &info) == 0 && S_ISSOCK(info.st_mode)) {
            unlink(socketName);
        }
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    // Only this user may connect: no other user's process hands files over.
    const mode_t previous = umask(0177);
    const int bound = bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
    umask(previous);
    struct stat info{};
    if (bound != 0 || chmod(socketName, 0600) != 0 || listen(fd, MaxConnections) != 0 ||
        stat(socketName, &info) != 0) {
        if (bound == 0) {
            unlink(socketName);
        }
        close(fd);
        return -1;
    }
    ListenFd = fd;
    std::strcpy(ListenPath, socketName);
    ListenDevice = info.st_dev;
    ListenInode = info.st_ino;
    if (!ConnectionsReady) {
        for (Connection &connection : Connections) {
            connection.fd = -1;
            connection.length = 0;
        }
        ConnectionsReady = true;
    }
    return 1;
}

void PlatformInstanceServe(InstanceRequestHandler handler)
{
    if (ListenFd < 0) {
        return;
    }
    const int64_t now = NowMs();
    AcceptNew(now);
    for (Connection &connection : Connections) {
        if (connection.fd < 0) {
            continue;
        }
        const ssize_t got = recv(connection.fd, connection.bytes + connection.length,
                                 static_cast<size_t>(RequestSize - connection.length), MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            Drop(connection);
            continue;
        }
        if (got > 0) {
            connection.length += static_cast<int>(got);
        }
        TryAnswer(connection, handler);
        if (connection.fd >= 0 && now - connection.openedMs > ConnectionLifeMs) {
            Drop(connection);
        }
    }
}

void PlatformInstanceClose()
{
    if (ListenFd < 0) {
        return;
    }
    for (Connection &connection : Connections) {
        Drop(connection);
    }
    close(ListenFd);
    ListenFd = -1;
    // Only the socket file this program made: another may have replaced it.
    struct stat info{};
    if (lstat(ListenPath, &info) == 0 && info.st_dev == ListenDevice && info.st_ino == ListenInode) {
        unlink(ListenPath);
    }
    ListenPath[0] = 0;
}

int PlatformInstanceSend(const char *socketName, int type, const char *name, int timeoutMs)
{
    unsigned char request[RequestSize] = {};
    request[0] = static_cast<unsigned char>(type);
    size_t size = 1;
    if (type == 1 || type == 2) {
        const size_t length = name ? strnlen(name, InstanceNameLimit + 1) : 0;
        if (length > static_cast<size_t>(InstanceNameLimit)) {
            return InstanceReplyFailed;
        }
        if (length) {
            std::memcpy(request + 1, name, length);
        }
        size = length + 2;
    }
    const int fd = ConnectTo(socketName);
    if (fd < 0) {
        return InstanceReplyFailed;
    }
    const int64_t deadline = NowMs() + timeoutMs;
    size_t sent = 0;
    int reply = InstanceReplyFailed;
    for (;;) {
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            break;
        }
        pollfd waiting = {fd, static_cast<short>(sent < size ? POLLOUT : POLLIN), 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        if (sent < size) {
            const ssize_t n = send(fd, request + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break;
            }
            sent += n > 0 ? static_cast<size_t>(n) : 0;
            continue;
        }
        unsigned char byte = 0;
        const ssize_t n = recv(fd, &byte, 1, MSG_DONTWAIT);
        if (n == 1) {
            reply = byte;
            break;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    close(fd);
    return reply;
}

int PlatformInstanceSendBytes(const char *socketName, const void *bytes, size_t size)
{
    const int fd = ConnectTo(socketName);
    if (fd < 0) {
        return 0;
    }
    const unsigned char *next = static_cast<const unsigned char *>(bytes);
    size_t left = size;
    while (left > 0) {
        const ssize_t sent = send(fd, next, left, MSG_NOSIGNAL);
        if (sent <= 0) {
            break;
        }
        next += sent;
        left -= static_cast<size_t>(sent);
    }
    close(fd);
    return left == 0;
}
