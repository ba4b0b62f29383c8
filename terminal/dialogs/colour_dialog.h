// " Color Prefs": three sliders (Red, Green, Blue, 0-255), five categories to edit and a sample
// of the working colours. "&Ok" stores the working colours in the table; "&Cancel" drops them.
#pragma once

#include <QDialog>

#include <array>

#include "terminal/core/colour_picker.h"

class QRadioButton;
class QSlider;
class QTextEdit;

namespace ostrel {

class ColourDialog final : public QDialog {
public:
    explicit ColourDialog(ColourTable& table, QWidget* parent = nullptr);

    void accept() override;

    QSlider* Slider(int channel) const { return sliders_[static_cast<std::size_t>(channel)]; }
    QRadioButton* Category(ColourSlot slot) const;
    QTextEdit* Sample() const { return sample_; }

private:
    void Choose(ColourSlot slot);
    void SlidersMoved();
    void ShowPicker();

    ColourTable& table_;
    ColourPicker picker_;
    std::array<QSlider*, 3> sliders_{};
    std::array<QRadioButton*, kColourSlotCount> categories_{};
    QTextEdit* sample_ = nullptr;
    bool showing_ = false;  // sliders moved by the dialog itself, not by the user
};

// Runs the dialog on the table: Confirmed when "&Ok" stored the colours.
bool RunColourDialog(QWidget* parent, ColourTable& table);

}  // namespace ostrel
