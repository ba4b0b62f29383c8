// The Serial dialog's port list against a pair of pseudo-terminals joined by socat.
#include "terminal/dialogs/serial_ports.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "../bindings/pty_pair.h"
#include "terminal/bindings/qt_serial_device.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

TEST(SerialPorts, PortListKeepsOnlyPortsThatOpen) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    const std::vector<std::string> free = AvailableSerialPorts({pair.TerminalEnd()});
    EXPECT_NE(std::find(free.begin(), free.end(), pair.TerminalEnd()), free.end());
    QtSerialDevice holder;
    std::string reason;
    ASSERT_TRUE(holder.Open(pair.TerminalEnd(), &reason));
    const std::vector<std::string> busy = AvailableSerialPorts({pair.TerminalEnd()});
    EXPECT_EQ(std::find(busy.begin(), busy.end(), pair.TerminalEnd()), busy.end());
    EXPECT_TRUE(AvailableSerialPorts({"/dev/no-such-serial-port"}).size() ==
                AvailableSerialPorts().size());
}

}  // namespace
}  // namespace ostrel
