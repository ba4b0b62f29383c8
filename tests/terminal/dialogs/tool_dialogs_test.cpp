// The tool dialogs and the colour dialog on Qt's offscreen platform.
#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTextEdit>

#include "terminal/dialogs/arp_dialog.h"
#include "terminal/dialogs/colour_dialog.h"
#include "terminal/dialogs/host_tool_dialog.h"

namespace ostrel {
namespace {

QStringList Texts(const QWidget& dialog) {
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    for (const QPushButton* button : dialog.findChildren<QPushButton*>())
        texts << button->text();
    return texts;
}

void ShowActive(QWidget& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

TEST(ToolDialogs, TitlesLabelsButtonsAndTheSelectedBox) {
    struct Case {
        HostToolDialog::Tool tool;
        const char* objectName;
        const char* title;
        const char* label;
        const char* button;
    };
    const Case cases[] = {
        {HostToolDialog::Tool::Ping, "FORM_OSTREL_FRMPING_CLASS", "Ping", "I.P. Address or URL",
         "&Ping"},
        {HostToolDialog::Tool::TraceRoute, "FORM_OSTREL_FRMTRACERT_CLASS", "Trace Route",
         "I.P. Address or URL", "&Trace"},
        {HostToolDialog::Tool::OpenInBrowser, "FORM_OSTREL_FRMOPENINBROWSER_CLASS",
         "Open in Browser", "URL             (must include 'http://')", "&Open"},
    };
    for (const Case& c : cases) {
        HostToolDialog dialog(c.tool, "10.0.0.5");
        EXPECT_EQ(dialog.objectName(), c.objectName);
        EXPECT_EQ(dialog.windowTitle(), c.title);
        EXPECT_EQ(Texts(dialog), (QStringList{c.label, c.button, "&Cancel"}));
        ShowActive(dialog);
        auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("address"));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->hasFocus());
        EXPECT_EQ(box->selectedText(), "10.0.0.5");  // typing replaces it
        QTest::keyClicks(box, "projector.local");
        EXPECT_EQ(dialog.Text(), "projector.local");
        QTest::keyClick(box, Qt::Key_Return);  // the tool's button is the default
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }

    ArpDialog arp("10.0.0.5", "00-1a-2b-3c-4d-5e");
    EXPECT_EQ(arp.objectName(), "FORM_OSTREL_FRMARP_CLASS");
    EXPECT_EQ(arp.windowTitle(), "Arp");
    EXPECT_EQ(Texts(arp), (QStringList{"I.P. Address", "MAC Address   (xx-xx-xx-xx-xx-xx)", "&Arp",
                                       "&Cancel"}));
    ShowActive(arp);
    auto* address = arp.findChild<QLineEdit*>(QStringLiteral("address"));
    auto* mac = arp.findChild<QLineEdit*>(QStringLiteral("mac"));
    ASSERT_TRUE(address != nullptr && mac != nullptr);
    EXPECT_TRUE(address->hasFocus());
    EXPECT_EQ(address->selectedText(), "10.0.0.5");
    EXPECT_EQ(mac->maxLength(), 17);
    EXPECT_EQ(arp.Boxes().mac, "00-1a-2b-3c-4d-5e");
    arp.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    EXPECT_EQ(arp.result(), QDialog::Rejected);
}

std::array<int, 3> SliderValues(const ColourDialog& dialog) {
    return {dialog.Slider(0)->value(), dialog.Slider(1)->value(), dialog.Slider(2)->value()};
}

TEST(ColourDialog, LayoutAndTheSlidersOfACategory) {
    ColourTable table = DefaultColourTable();
    table[ColourSlot::Background] = 0xFF0000;  // COLORREF pure blue
    table[ColourSlot::Incoming] = 0x00336699;  // red 0x99, green 0x66, blue 0x33
    ColourDialog dialog(table);
    EXPECT_EQ(dialog.objectName(), "FORM_OSTREL_FRMCOLORPICKER_CLASS");
    EXPECT_EQ(dialog.windowTitle(), " Color Prefs");
    QStringList captions;
    for (const QRadioButton* button : dialog.findChildren<QRadioButton*>())
        captions << button->text();
    EXPECT_EQ(captions, (QStringList{" Background", " Local Echo", " Status", " Informational",
                                     " Incoming"}));
    EXPECT_TRUE(Texts(dialog).contains("Red") && Texts(dialog).contains("&Ok"));
    EXPECT_EQ(dialog.Sample()->toPlainText(), "  Some Text");
    EXPECT_EQ(dialog.Sample()->font().pointSize(), 24);
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_EQ(dialog.Slider(channel)->minimum(), 0);
        EXPECT_EQ(dialog.Slider(channel)->maximum(), 255);
    }
    // Background is checked and its colour is on the sliders.
    EXPECT_TRUE(dialog.Category(ColourSlot::Background)->isChecked());
    EXPECT_EQ(SliderValues(dialog), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(dialog.Sample()->palette().color(QPalette::Base), QColor(0, 0, 255));
    EXPECT_EQ(dialog.Sample()->palette().color(QPalette::Text), QColor(192, 192, 255));
    dialog.Category(ColourSlot::Incoming)->click();
    EXPECT_EQ(SliderValues(dialog), (std::array<int, 3>{0x99, 0x66, 0x33}));
    EXPECT_EQ(dialog.Sample()->palette().color(QPalette::Text), QColor(0x99, 0x66, 0x33));
}

TEST(ColourDialog, CancelDropsAndOkStores) {
    const ColourTable original = DefaultColourTable();
    ColourTable table = original;
    {
        ColourDialog dialog(table);
        dialog.Category(ColourSlot::Incoming)->click();
        dialog.Slider(0)->setValue(0);  // white incoming loses its red
        EXPECT_EQ(dialog.Sample()->palette().color(QPalette::Text), QColor(0, 255, 255));
        EXPECT_EQ(table, original);  // only the sample changed so far
        dialog.reject();
    }
    EXPECT_EQ(table, original);
    {
        ColourDialog dialog(table);
        dialog.Slider(1)->setValue(128);  // Background: the sample's background changes
        EXPECT_EQ(dialog.Sample()->palette().color(QPalette::Base), QColor(0, 128, 0));
        dialog.Category(ColourSlot::Incoming)->click();
        dialog.Slider(0)->setValue(0);
        dialog.Category(ColourSlot::Status)->click();
        EXPECT_EQ(SliderValues(dialog), (std::array<int, 3>{255, 255, 0}));
        dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    }
    ColourTable expected = original;
    expected[ColourSlot::Background] = Rgb(0, 128, 0);
    expected[ColourSlot::Incoming] = Rgb(0, 255, 255);
    EXPECT_EQ(table, expected);
}

}  // namespace
}  // namespace ostrel
