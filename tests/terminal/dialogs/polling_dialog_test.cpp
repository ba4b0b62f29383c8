// The "Polling" dialog on Qt's offscreen platform: what it shows, edits stored as typed, and the
// buttons.
#include "terminal/dialogs/polling_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "terminal/dialogs/qt_file_choice.h"

namespace ostrel {
namespace {

TEST(PollingDialog, ShowsTheTextAndTheDelay) {
    Polling polling;
    polling.SetText("STATUS?\r\nPOWER?\r\n");
    polling.PrepareForDialog();
    PollingDialog dialog(polling);
    EXPECT_EQ(dialog.objectName(), "FORM_OSTREL_FRMPOLLING_CLASS");
    EXPECT_EQ(dialog.windowTitle(), "Polling");
    EXPECT_EQ(dialog.TextBox().toPlainText(), "STATUS?\nPOWER?\n");
    EXPECT_EQ(dialog.DelayBox().text(), "100");
    EXPECT_EQ(dialog.OkButton().text(), "&Ok");
    EXPECT_EQ(dialog.CancelButton().text(), "&Cancel");
    bool labelled = false;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labelled = labelled || label->text() == "Delay (mS)";
    EXPECT_TRUE(labelled);
}

TEST(PollingDialog, EditsAreStoredAsTheyAreTyped) {
    Polling polling;
    polling.PrepareForDialog();
    PollingDialog dialog(polling);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.TextBox().setFocus();
    QTest::keyClicks(&dialog.TextBox(), "A");
    QTest::keyClick(&dialog.TextBox(), Qt::Key_Return);
    QTest::keyClicks(&dialog.TextBox(), "B");
    EXPECT_EQ(polling.Text(), "A\r\nB");
    EXPECT_EQ(polling.Count(), 1);
    QTest::keyClick(&dialog.TextBox(), Qt::Key_Return);
    EXPECT_EQ(polling.Count(), 2);  // a trailing line break is a last, empty string

    // Tabbing into the delay box selects its text, so typing replaces it.
    dialog.TextBox().setTabChangesFocus(true);
    QTest::keyClick(&dialog.TextBox(), Qt::Key_Tab);
    ASSERT_TRUE(dialog.DelayBox().hasFocus());
    EXPECT_EQ(dialog.DelayBox().selectedText(), "100");
    QTest::keyClicks(&dialog.DelayBox(), "250");
    EXPECT_EQ(polling.Period(), 250);
    dialog.DelayBox().setText("x");
    EXPECT_EQ(polling.Period(), 0);
}

TEST(PollingDialog, OkAndCancelOnlyDecideTheResult) {
    for (const bool ok : {true, false}) {
        Polling polling;
        polling.PrepareForDialog();
        QTimer::singleShot(0, [ok] {
            auto* dialog = dynamic_cast<PollingDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->TextBox().setPlainText("X\nY");
            QTest::mouseClick(ok ? &dialog->OkButton() : &dialog->CancelButton(), Qt::LeftButton);
        });
        EXPECT_EQ(RunPollingDialog(nullptr, polling), ok);
        EXPECT_EQ(polling.Text(), "X\r\nY");
    }
}

TEST(FileDialog, CancelGivesNothingAndOkThePath) {
    const FileChoice choice = SaveSessionChoice("/tmp");
    QTimer::singleShot(0, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            EXPECT_EQ(dialog->windowTitle(), "Save Session...");
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
    });
    EXPECT_EQ(RunFileDialog(nullptr, choice), std::nullopt);
}

}  // namespace
}  // namespace ostrel
