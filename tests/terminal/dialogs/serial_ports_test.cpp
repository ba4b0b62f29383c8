// The Serial dialog's port list against a pair of pseudo-terminals joined by socat.
#include "terminal/dialogs/serial_ports.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>

#include "../bindings/pty_pair.h"
#include "terminal/bindings/qt_serial_device.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

bool Listed(const std::vector<std::string>& ports, const std::string& path) {
    return std::find(ports.begin(), ports.end(), path) != ports.end();
}

TEST(SerialPorts, ListingOpensNoPort) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    // Every open of the device shows as an event: opening toggles the modem lines of a real port.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, pair.TerminalEnd().c_str(), IN_OPEN), 0);

    EXPECT_TRUE(Listed(AvailableSerialPorts({pair.TerminalEnd()}), pair.TerminalEnd()));
    char events[4096];
    EXPECT_LT(::read(watch, events, sizeof events), 0) << "the port was opened to list it";

    // A port in use is listed all the same; a path that is not a device is not.
    QtSerialDevice holder;
    std::string reason;
    ASSERT_TRUE(holder.Open(pair.TerminalEnd(), &reason));
    EXPECT_GT(::read(watch, events, sizeof events), 0) << "an open is seen";
    EXPECT_TRUE(Listed(AvailableSerialPorts({pair.TerminalEnd()}), pair.TerminalEnd()));
    EXPECT_EQ(AvailableSerialPorts({"/dev/no-such-serial-port"}), AvailableSerialPorts());
    ::close(watch);
}

}  // namespace
}  // namespace ostrel
