#include "net/local_address.h"

#include <gtest/gtest.h>

namespace {

TEST(LocalAddressTest, PrivateRangesAndLoopbackOnly)
{
    for (const char *address : {"10.0.0.1", "10.255.255.255", "172.16.0.1", "172.31.255.255", "192.168.0.0",
                                "192.168.1.20", "127.0.0.1"}) {
        EXPECT_TRUE(IsLocalNetworkAddress(address)) << address;
    }
    for (const char *address : {"172.15.255.255", "172.32.0.1", "192.169.0.1", "127.0.0.2", "11.0.0.1",
                                "8.8.8.8", "0.0.0.0"}) {
        EXPECT_FALSE(IsLocalNetworkAddress(address)) << address;
    }
}

TEST(LocalAddressTest, AnythingButFourDecimalNumbersIsRefused)
{
    for (const char *text : {"", "abc", "10", "10.0.0", "10.0.0.1.5", "10.0.0.256", "10.0.0.1 ", " 10.0.0.1",
                             "10..0.1", "010.0.0.1", "10.0.0.1x", "1000.0.0.1", "10.0.0.-1", "10.0.0.99999999999"}) {
        EXPECT_FALSE(IsLocalNetworkAddress(text)) << text;
    }
    EXPECT_FALSE(IsLocalNetworkAddress(nullptr));
}

}  // namespace
