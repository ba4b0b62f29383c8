// The QSerialPort device and the serial session over a pair of pseudo-terminals joined by socat:
// one end is the "device" the terminal opens, the test plays the equipment on the other.
#include "terminal/bindings/qt_serial_device.h"

#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>

#include "../session/session_fakes.h"
#include "pty_pair.h"
#include "qt_test_support.h"
#include "terminal/session/session_model.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

class SerialTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

TEST_F(SerialTest, RefusedSettingsAreNamedAndThePortKeepsWorking) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    QtSerialDevice device;
    std::string reason;
    ASSERT_TRUE(device.Open(pair.TerminalEnd(), &reason)) << reason;
    EXPECT_GE(device.Handle(), 0);
    // A pseudo-terminal takes some line settings and refuses others; whatever it refuses is
    // named, and the port carries data afterwards all the same.
    for (Parity parity : {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space})
        for (FlowControl flow : {FlowControl::None, FlowControl::Hardware, FlowControl::Software}) {
            SerialConfig config;
            config.baud = 57600;
            config.parity = parity;
            config.flow = flow;
            for (const std::string& refused : device.Configure(config))
                EXPECT_FALSE(refused.empty());
        }
    SerialConfig impossible;
    impossible.dataBits = 4;
    impossible.baud = -5;
    const std::vector<std::string> refused = device.Configure(impossible);
    EXPECT_NE(std::find(refused.begin(), refused.end(), "4 data bits"), refused.end());
    EXPECT_NE(std::find(refused.begin(), refused.end(), "-5 baud"), refused.end());
    device.Configure(SerialConfig{});
    device.Write("still here");
    EXPECT_EQ(pair.Receive(10), "still here");

    // A second open of a port in use fails, as does a port that does not exist.
    QtSerialDevice second;
    EXPECT_FALSE(second.Open(pair.TerminalEnd(), &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(device.Open("/dev/no-such-serial-port", &reason));
}

TEST_F(SerialTest, SessionReadsEchoesAndSendsThroughThePty) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    SessionSettings settings;
    ScriptedTessnet net;
    QtSerialDevice device;
    RecordingHost host;
    SessionModel model(settings, net, device, host);
    settings.type = SessionType::Serial;
    settings.serialPort = pair.TerminalEnd();
    settings.baud = 9600;
    settings.dataBits = 8;
    model.Restart();
    ASSERT_EQ(host.timers[TimerId::SerialRead], 50) << (host.StatusLines().empty() ? "" : host.StatusLines()[0]);
    model.SetRemoteEcho(true);

    pair.Send("ABC");
    ASSERT_TRUE(WaitUntil([&] {
        model.OnSerialTimer();  // the window's 50 ms timer
        return host.Incoming() == "ABC";
    }));
    EXPECT_EQ(pair.Receive(3), "ABC");  // remote echo

    model.SetRemoteEcho(false);
    std::string line = std::string(2000, 'L');
    model.Write(line + "\r\n");
    EXPECT_EQ(pair.Receive(2002), line + "\r\n");
}

TEST_F(SerialTest, PortThatDisappearsIsReportedOnceAndClosed) {
    auto pair = std::make_unique<PtyPair>();
    ASSERT_TRUE(pair->Ready());
    SessionSettings settings;
    ScriptedTessnet net;
    QtSerialDevice device;
    RecordingHost host;
    SessionModel model(settings, net, device, host);
    settings.type = SessionType::Serial;
    settings.serialPort = pair->TerminalEnd();
    model.Restart();
    ASSERT_TRUE(device.IsOpen());
    pair.reset();  // socat goes: the pty is gone
    ASSERT_TRUE(WaitUntil([&] {
        model.OnSerialTimer();
        return !device.IsOpen();
    }));
    Pump(200);
    int reports = 0;
    for (const std::string& line : host.StatusLines())
        reports += line.find("is no longer available") != std::string::npos;
    EXPECT_EQ(reports, 1);
    EXPECT_FALSE(settings.inUse);
    EXPECT_EQ(host.timers.count(TimerId::SerialRead), 0u);
}

}  // namespace
}  // namespace ostrel
