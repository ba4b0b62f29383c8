// The Tools menu and Color Prefs in the real main window with its dialogs.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "window_fixture.h"

namespace ostrel::testing {
namespace {

class WindowToolsTest : public WindowTest {};

// A host pinged becomes the host the TCP Client dialog starts with.
TEST_F(WindowToolsTest, PingedHostIsTheNextSessionsHost) {
    WhenDialogOpens([](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), "FORM_OSTREL_FRMPING_CLASS");
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("address"));
        EXPECT_EQ(box->text(), "");
        box->setText(QStringLiteral(" 10.0.0.42 "));
        dialog->findChild<QPushButton*>(QStringLiteral("run"))->click();
    });
    window_.Action(CommandId::Ping)->trigger();
    EXPECT_EQ(controller_.Settings().host, "10.0.0.42");

    QString shown;
    WhenDialogOpens([&](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        shown = dialog->findChild<QLineEdit*>(QStringLiteral("host"))->text();
        dialog->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    });
    window_.Action(CommandId::SessionTcpClient)->trigger();
    EXPECT_EQ(shown, "10.0.0.42");
}

TEST_F(WindowToolsTest, ColourPrefsOkRepaintsThePaneAndColoursNewText) {
    WhenDialogOpens([](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QSlider*>(QStringLiteral("blue"))->setValue(128);  // Background
        dialog->findChild<QRadioButton*>(QStringLiteral("status"))->click();
        dialog->findChild<QSlider*>(QStringLiteral("green"))->setValue(0);
        dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    window_.Action(CommandId::ColorPrefs)->trigger();
    EXPECT_EQ(window_.OutputPaneView().Background(), QColor(0, 0, 128));
    // A new Status line (offscreen there is no desktop for a calculator).
    window_.Action(CommandId::Calculator)->trigger();
    EXPECT_EQ(ColourOf("Tools > Calculator needs a desktop"), Rgb(255, 0, 0));

    WhenDialogOpens([](QWidget* dialog) {
        dialog->findChild<QSlider*>(QStringLiteral("red"))->setValue(200);
        dialog->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    });
    window_.Action(CommandId::ColorPrefs)->trigger();
    EXPECT_EQ(window_.OutputPaneView().Background(), QColor(0, 0, 128));
    EXPECT_EQ(controller_.Colours()[ColourSlot::Background], Rgb(0, 0, 128));
}

}  // namespace
}  // namespace ostrel::testing
