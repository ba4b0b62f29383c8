// The panel's timing rules on a clock of the test's own: every timer tick happens at the
// millisecond its period says, and each line sent is stamped with the time it left.
#include "terminal/remote/panel_runtime.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

namespace ostrel {
namespace {

struct Sent {
    int at;
    std::string line;
    friend bool operator==(const Sent&, const Sent&) = default;
};

std::ostream& operator<<(std::ostream& out, const Sent& sent) {
    return out << sent.at << ":" << sent.line;
}

// Window timers run by a virtual clock: a started timer ticks every period until stopped.
class ClockedHost final : public PanelHost {
public:
    void StartTimer(TimerId id, int milliseconds) override {
        timers_[id] = {milliseconds, now_ + static_cast<long long>(milliseconds)};
    }
    void StopTimer(TimerId id) override { timers_.erase(id); }
    void SendPanelLine(std::string_view line) override {
        sent.push_back({now_, std::string(line)});
    }
    void Beep() override { beeps.push_back(now_); }
    void PanelButtonToggled(int index) override { toggled.push_back(index); }

    // Lets time run to `until` (inclusive), delivering each tick when it is due.
    void RunUntil(int until, PanelRuntime& runtime) {
        while (true) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (next == timers_.end() || it->second.due < next->second.due) next = it;
            if (next == timers_.end() || next->second.due > until) break;
            now_ = static_cast<int>(next->second.due);
            const TimerId id = next->first;
            next->second.due += next->second.period;
            if (id == runtime.HoldTimer())
                runtime.OnHoldTimer();
            else
                runtime.OnRepeatTimer();
        }
        now_ = until;
    }
    bool Running(TimerId id) const { return timers_.count(id) != 0; }
    int Period(TimerId id) const { return timers_.at(id).period; }

    std::vector<Sent> sent;
    std::vector<int> beeps;
    std::vector<int> toggled;

private:
    struct Timer {
        int period;
        long long due;  // a period near INT_MAX must not overflow the clock
    };
    std::map<TimerId, Timer> timers_;
    int now_ = 0;
};

class RuntimeTest : public ::testing::Test {
protected:
    RuntimeTest() {
        panel_.timerRate = 200;
        panel_.netlinxPassThrough = 0;
        RemoteButton& plain = panel_.buttons[0];
        plain.caption = "Vol +";
        plain.pushString = "P";
        plain.repeatString = " R ";
        plain.releaseString = "X";
        RemoteButton& held = panel_.buttons[1];
        held = plain;
        held.caption = "Reset";
        held.hold = 1;
        held.holdTime = 5;
        RemoteButton& toggle = panel_.buttons[2];
        toggle.caption = "Power";
        toggle.altCaption = "Power Off";
        toggle.toggle = -1;
        toggle.pushString = "ON";
        toggle.releaseString = "OFF";
        panel_.buttons[3].pushString = "hidden";  // no caption: an empty slot
    }

    // Presses a button at 0 and lets it go at releaseAt.
    std::vector<Sent> Hold(int index, int releaseAt) {
        runtime_.Press(index);
        host_.RunUntil(releaseAt, runtime_);
        runtime_.Release(index);
        return host_.sent;
    }

    RemoteDefinition panel_;
    ClockedHost host_;
    PanelRuntime runtime_{panel_, host_, TimerId::RemoteHold, TimerId::RemoteRepeat};
};

TEST_F(RuntimeTest, HeldButtonsSendPushRepeatsAndRelease) {
    const struct {
        const char* name;
        int button;
        int releaseAt;
        std::vector<Sent> expected;
        std::vector<int> beeps;
    } cases[] = {
        {"plain held 1 s",
         0,
         1000,
         {{0, "P"}, {200, "R"}, {400, "R"}, {600, "R"}, {800, "R"}, {1000, "R"}, {1000, "X"}},
         {}},
        {"plain clicked", 0, 0, {{0, "P"}, {0, "X"}}, {}},
        {"hold let go at 0.3 s", 1, 300, {{0, "P"}, {300, "X"}}, {}},
        {"hold held 1 s", 1, 1000, {{0, "P"}, {500, "R"}, {1000, "X"}}, {500}},
        {"empty slot", 3, 1000, {}, {}},
    };
    for (const auto& c : cases) {
        host_ = ClockedHost();
        EXPECT_EQ(Hold(c.button, c.releaseAt), c.expected) << c.name;
        EXPECT_EQ(host_.beeps, c.beeps) << c.name;
        EXPECT_FALSE(host_.Running(TimerId::RemoteHold)) << c.name;
        EXPECT_FALSE(host_.Running(TimerId::RemoteRepeat)) << c.name;
        EXPECT_EQ(runtime_.CurrentButton(), -1) << c.name;
    }
}

TEST_F(RuntimeTest, TimersNeverRunFasterThanTheShortestPeriod) {
    // A rate of 0 (or a hold time of 0) would otherwise send on every turn of the event loop.
    panel_.timerRate = 0;
    runtime_.Press(0);
    EXPECT_EQ(host_.Period(TimerId::RemoteRepeat), kShortestPanelTimer);
    host_.RunUntil(50, runtime_);
    runtime_.Release(0);
    EXPECT_EQ(host_.sent.size(), 1u + 5u + 1u);

    panel_.buttons[1].holdTime = -3;
    runtime_.Press(1);
    EXPECT_EQ(host_.Period(TimerId::RemoteHold), kShortestPanelTimer);
    // Tenths of a second that would overflow a millisecond count stay the longest period.
    panel_.buttons[1].holdTime = 2000000000;
    runtime_.Press(1);
    EXPECT_EQ(host_.Period(TimerId::RemoteHold), std::numeric_limits<int>::max());
}

TEST_F(RuntimeTest, ToggleButtonsAlternateOnEachPress) {
    const RemoteButton& power = panel_.buttons[2];
    runtime_.Press(2);
    host_.RunUntil(2000, runtime_);
    runtime_.Release(2);
    EXPECT_TRUE(power.toggled);
    EXPECT_EQ(ButtonLabel(power), "Power Off");
    runtime_.Press(2);
    runtime_.Release(2);
    EXPECT_FALSE(power.toggled);
    EXPECT_EQ(ButtonLabel(power), "Power");
    // Push on the first press, release string on the second, nothing on letting go, no timers.
    EXPECT_EQ(host_.sent, (std::vector<Sent>{{0, "ON"}, {2000, "OFF"}}));
    EXPECT_EQ(host_.toggled, (std::vector<int>{2, 2}));
}

TEST_F(RuntimeTest, PassThroughWrapsEveryStringAsNetLinx) {
    panel_.netlinxPassThrough = -1;
    panel_.netlinxDevice = " 5001:1:0 ";
    panel_.buttons[0].pushString = "ABC$0D";
    Hold(0, 200);
    EXPECT_EQ(host_.sent, (std::vector<Sent>{{0, "||send_string 5001:1:0, \" 'ABC', $0D \""},
                                             {200, "||send_string 5001:1:0, \" 'R' \""},
                                             {200, "||send_string 5001:1:0, \" 'X' \""}}));
    EXPECT_EQ(PanelTerminator(panel_), LineTerminator::CrLf);
    // Without a device, or with pass-through off, strings go as stored.
    panel_.netlinxDevice = "  ";
    EXPECT_EQ(ButtonLine(panel_, "ABC$0D"), "ABC$0D");
    panel_.netlinxDevice = "5001:1:0";
    panel_.netlinxPassThrough = 0;
    EXPECT_EQ(ButtonLine(panel_, "ABC$0D"), "ABC$0D");
    EXPECT_EQ(PanelTerminator(panel_), LineTerminator::None);
}

}  // namespace
}  // namespace ostrel
