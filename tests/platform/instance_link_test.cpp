#include "platform/instance_link.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char *SocketName = "link_test.sock";

std::vector<std::string> Requests;

int Answer(int type, const char *name)
{
    Requests.push_back(std::to_string(type) + ":" + name);
    return 1;
}

int RawConnect()
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, SocketName);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void Serve(int passes)
{
    for (int i = 0; i < passes; ++i) {
        PlatformInstanceServe(Answer);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The reply byte, or -1 when the connection closed without one.
int ReadReply(int fd)
{
    unsigned char byte = 0;
    const ssize_t got = recv(fd, &byte, 1, 0);
    close(fd);
    return got == 1 ? byte : -1;
}

TEST(InstanceLinkTest, RequestsArriveInPiecesAndAreAnswered)
{
    Requests.clear();
    ASSERT_EQ(PlatformInstanceListen(SocketName), 1);
    struct stat info = {};
    ASSERT_EQ(stat(SocketName, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A request split over several passes is kept until it is whole.
    const int fd = RawConnect();
    ASSERT_GE(fd, 0);
    send(fd, "\x01ra", 3, 0);
    Serve(5);
    EXPECT_TRUE(Requests.empty());
    send(fd, "ce", 3, 0);  // with its terminating zero
    Serve(5);
    EXPECT_EQ(Requests, std::vector<std::string>{"1:race"});
    EXPECT_EQ(ReadReply(fd), 1);

    struct Case {
        std::string bytes;
        int reply;
    };
    const Case cases[] = {
        {std::string("\x09", 1), 0},                  // no such type
        {std::string("\x03", 1), 1},                  // no name for a set-up
        {"\x02" + std::string(64, 'n'), 4},           // a name that never ends
    };
    for (const Case &c : cases) {
        const int client = RawConnect();
        ASSERT_GE(client, 0);
        send(client, c.bytes.data(), c.bytes.size(), 0);
        Serve(5);
        EXPECT_EQ(ReadReply(client), c.reply);
    }

    // A starter that leaves before its reply costs the listener nothing.
    const int gone = RawConnect();
    send(gone, "\x01x", 3, 0);
    close(gone);
    Serve(5);

    PlatformInstanceClose();
    EXPECT_NE(access(SocketName, F_OK), 0);
    EXPECT_EQ(PlatformInstanceProbe(SocketName), 0);
    EXPECT_EQ(PlatformInstanceSend(SocketName, 1, "race", 100), InstanceReplyFailed);
}

TEST(InstanceLinkTest, OnlyItsOwnSocketFileIsRemoved)
{
    ASSERT_EQ(PlatformInstanceListen(SocketName), 1);
    // Replaced by something else meanwhile: left alone at close.
    unlink(SocketName);
    FILE *other = std::fopen(SocketName, "w");
    std::fclose(other);
    PlatformInstanceClose();
    EXPECT_EQ(access(SocketName, F_OK), 0);
    unlink(SocketName);
    // A name too long for a socket address is refused.
    EXPECT_EQ(PlatformInstanceListen(std::string(200, 's').c_str()), -1);
}

}  // namespace
