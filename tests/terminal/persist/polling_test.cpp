// Polling's rules: the split, the rotation, the dialog's edits, loading.
#include "terminal/persist/polling.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using Strings = std::vector<std::string>;

Strings Ticks(Polling& polling, int n) {
    Strings sent;
    for (int i = 0; i < n; ++i)
        sent.push_back(polling.NextString().value_or("<nothing>"));
    return sent;
}

TEST(Polling, SplitAtEveryCrLf) {
    EXPECT_EQ(SplitPollText("A\r\nB\r\nC"), (Strings{"A", "B", "C"}));
    EXPECT_EQ(SplitPollText("A\r\nB\r\nC\r\n"), (Strings{"A", "B", "C", ""}));
    EXPECT_EQ(SplitPollText(""), Strings{""});
    EXPECT_EQ(SplitPollText("a\nb\rc"), Strings{"a\nb\rc"});
    EXPECT_EQ(SplitPollText("\r\n\r\n"), (Strings{"", "", ""}));
}

TEST(Polling, TicksGoRoundTheList) {
    Polling polling;
    polling.SetText("A\r\nB\r\nC");
    EXPECT_EQ(polling.Count(), 2);
    EXPECT_EQ(Ticks(polling, 5), (Strings{"A", "B", "C", "A", "B"}));

    Polling trailing;
    trailing.SetText("A\r\nB\r\nC\r\n");
    EXPECT_EQ(trailing.Count(), 3);
    EXPECT_EQ(Ticks(trailing, 8), (Strings{"A", "B", "C", "", "A", "B", "C", ""}));

    Polling blank;
    blank.SetText("   ");
    EXPECT_EQ(Ticks(blank, 2), (Strings{"<nothing>", "<nothing>"}));
    EXPECT_EQ(blank.Position(), 1);  // past the count of 0: back to 0, then on by one
}

TEST(Polling, EditsKeepThePositionAndAShorterListWraps) {
    Polling polling;
    polling.SetText("A\r\nB\r\nC\r\nD");
    EXPECT_EQ(Ticks(polling, 3), (Strings{"A", "B", "C"}));
    polling.SetText("  X\r\nY  ");  // blanks at the ends of the whole text are trimmed
    EXPECT_EQ(polling.Text(), "X\r\nY");
    EXPECT_EQ(Ticks(polling, 3), (Strings{"X", "Y", "X"}));
    polling.SetText(std::string(20000, 'z'));
    EXPECT_EQ(polling.Text().size(), kPollTextCapacity);
}

TEST(Polling, DialogStartAndDelay) {
    Polling polling;
    polling.PrepareForDialog();
    EXPECT_EQ(polling.Period(), 100);
    polling.SetPeriodText("250");
    EXPECT_EQ(polling.Period(), 250);
    polling.PrepareForDialog();
    EXPECT_EQ(polling.Period(), 250);
    polling.SetPeriodText("abc");
    EXPECT_EQ(polling.Period(), 0);
    polling.SetPeriod(-5);
    polling.PrepareForDialog();
    EXPECT_EQ(polling.Period(), 100);
}

TEST(Polling, LoadingFromASessionFile) {
    Polling polling;
    polling.SetText("kept");
    // Polling off: flag, position, period and count from the file; the text stays.
    ASSERT_TRUE(polling.Load({false, 7, 300, 9, std::string("ignored")}));
    EXPECT_EQ(polling.Text(), "kept");
    EXPECT_EQ(polling.Count(), 9);
    EXPECT_EQ(polling.Position(), 7);
    // A position and count that do not fit the list start over instead of reaching past it.
    EXPECT_EQ(Ticks(polling, 2), (Strings{"kept", "kept"}));

    ASSERT_TRUE(polling.Load({true, 1, 300, 0, std::string(" A\r\nB")}));
    EXPECT_EQ(polling.Count(), 1);
    EXPECT_EQ(Ticks(polling, 3), (Strings{"B", " A", "B"}));

    EXPECT_FALSE(polling.Load({true, -4, 300, 5, std::nullopt}));
    EXPECT_TRUE(polling.On());
    EXPECT_EQ(polling.Text(), "No Poll Data Recovered!\r\n");
    EXPECT_EQ(Ticks(polling, 2), (Strings{"", ""}));

    const PollSettings saved = polling.Saved();
    EXPECT_TRUE(saved.on);
    EXPECT_EQ(saved.text, std::optional<std::string>("No Poll Data Recovered!\r\n"));
    EXPECT_EQ(saved.period, 300);
}

}  // namespace
}  // namespace ostrel
