#include "terminal/dialogs/colour_dialog.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTextEdit>
#include <QVBoxLayout>

#include "terminal/dialogs/dialog_kit.h"

namespace ostrel {
namespace {

QColor ToQColor(Colour colour) {
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

struct CategoryButton {
    ColourSlot slot;
    const char* caption;
    const char* objectName;
};

// In the dialog's order, which is not the table's.
constexpr CategoryButton kCategories[] = {
    {ColourSlot::Background, " Background", "background"},
    {ColourSlot::LocalEcho, " Local Echo", "localEcho"},
    {ColourSlot::Status, " Status", "status"},
    {ColourSlot::Informational, " Informational", "informational"},
    {ColourSlot::Incoming, " Incoming", "incoming"},
};

constexpr const char* kChannels[] = {"Red", "Green", "Blue"};

}  // namespace

ColourDialog::ColourDialog(ColourTable& table, QWidget* parent)
    : QDialog(parent), table_(table), picker_(table) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMCOLORPICKER_CLASS"));
    setWindowTitle(QStringLiteral(" Color Prefs"));
    setModal(true);
    ApplyDialogFont(*this);

    auto* sliders = new QGridLayout;
    for (int channel = 0; channel < 3; ++channel) {
        auto* label = new QLabel(QString::fromLatin1(kChannels[channel]), this);
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QString::fromLatin1(kChannels[channel]).toLower());
        slider->setRange(0, 255);
        label->setBuddy(slider);
        sliders->addWidget(label, channel, 0);
        sliders->addWidget(slider, channel, 1);
        connect(slider, &QSlider::valueChanged, this, [this] { SlidersMoved(); });
        sliders_[static_cast<std::size_t>(channel)] = slider;
    }

    auto* categories = new QVBoxLayout;
    for (const CategoryButton& category : kCategories) {
        auto* button = new QRadioButton(QString::fromLatin1(category.caption), this);
        button->setObjectName(QString::fromLatin1(category.objectName));
        const ColourSlot slot = category.slot;
        connect(button, &QRadioButton::toggled, this, [this, slot](bool on) {
            if (on) Choose(slot);
        });
        categories->addWidget(button);
        categories_[static_cast<std::size_t>(slot)] = button;
    }

    sample_ = new QTextEdit(this);
    sample_->setObjectName(QStringLiteral("sample"));
    sample_->setReadOnly(true);
    QFont sampleFont(QStringLiteral("Courier New"), 24);
    sampleFont.setStyleHint(QFont::TypeWriter);
    sample_->setFont(sampleFont);
    sample_->setPlainText(QStringLiteral("  Some Text"));
    sample_->setFixedHeight(64);
    sample_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* top = new QHBoxLayout;
    top->addLayout(sliders, 1);
    top->addLayout(categories);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(sample_);
    layout->addLayout(MakeActionCancelRow(*this, QStringLiteral("&Ok"), QStringLiteral("ok")));
    setMinimumWidth(420);

    // Background is checked first; its toggled signal shows the picker.
    Category(ColourSlot::Background)->setChecked(true);
    ShowPicker();
}

QRadioButton* ColourDialog::Category(ColourSlot slot) const {
    return categories_[static_cast<std::size_t>(slot)];
}

void ColourDialog::Choose(ColourSlot slot) {
    picker_.Select(slot);
    ShowPicker();
}

void ColourDialog::SlidersMoved() {
    if (showing_) return;
    picker_.SetSliders(sliders_[0]->value(), sliders_[1]->value(), sliders_[2]->value());
    ShowPicker();
}

void ColourDialog::ShowPicker() {
    showing_ = true;
    const std::array<int, 3> values = picker_.Sliders();
    for (std::size_t channel = 0; channel < 3; ++channel)
        sliders_[channel]->setValue(values[channel]);
    showing_ = false;
    QPalette palette = sample_->palette();
    palette.setColor(QPalette::Base, ToQColor(picker_.SampleBackground()));
    palette.setColor(QPalette::Text, ToQColor(picker_.SampleText()));
    sample_->setPalette(palette);
}

void ColourDialog::accept() {
    picker_.Commit(table_);
    QDialog::accept();
}

bool RunColourDialog(QWidget* parent, ColourTable& table) {
    ColourDialog dialog(table, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace ostrel
