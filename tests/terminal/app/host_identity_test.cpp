#include "terminal/app/host_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

TEST(HostIdentity, NameAndUpToTenAddresses) {
    std::vector<std::string> addresses;
    for (int i = 1; i <= 12; ++i)
        addresses.push_back("10.0.0." + std::to_string(i));
    const std::vector<std::string> lines = HostIdentityLines(" studio-pc ", addresses);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "Hostname     = studio-pc");
    EXPECT_EQ(lines[1], "IP Address 1 = 10.0.0.1");
    EXPECT_EQ(lines[10], "IP Address 10 = 10.0.0.10");
    EXPECT_EQ(HostIdentityLines("pc", {}).size(), 1u);
    for (const std::string& address : LocalIPv4Addresses())
        EXPECT_NE(address.rfind("127.", 0), 0u);  // loopback is not listed
}

}  // namespace
}  // namespace ostrel
