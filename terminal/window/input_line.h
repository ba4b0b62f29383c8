// The input box of the main window: one line of dollar-syntax text, Up and Down browse the
// command list, Enter sends, and the menu's accelerators reach the menu even where a line edit
// would take the key for itself (Ctrl+Z clears the box rather than undoing).
#pragma once

#include <QKeySequence>
#include <QList>

#include <functional>

#include "terminal/core/send_line.h"
#include "terminal/dialogs/dollar_line_edit.h"

namespace ostrel {

class InputLine final : public DollarLineEdit, public InputBox {
public:
    explicit InputLine(QWidget* parent = nullptr);

    // Up arrow, Down arrow.
    std::function<void()> onOlder;
    std::function<void()> onNewer;
    // Keys the window's menu handles.
    void SetMenuKeys(QList<QKeySequence> keys) { menuKeys_ = std::move(keys); }

    // InputBox: the text as bytes of the terminal's character set, one byte per character
    // (characters it lacks become '?' and are named by UnsendableCharacter).
    std::string Text() const override;
    std::optional<std::string> UnsendableCharacter() const override;
    std::size_t SelectionStart() const override;
    std::size_t SelectionEnd() const override;
    void SetText(std::string_view text) override;
    State SaveState() const override;
    void RestoreState(const State& state) override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<QKeySequence> menuKeys_;
};

}  // namespace ostrel
