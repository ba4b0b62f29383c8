#include "terminal/window/input_line.h"

#include <QKeyEvent>

#include "terminal/core/code_page.h"

namespace ostrel {

InputLine::InputLine(QWidget* parent) : DollarLineEdit(parent) {
    setObjectName(QStringLiteral("input"));
}

std::string InputLine::Text() const {
    std::string bytes;
    Utf8ToWindows1252(text().toStdString(), bytes);
    return bytes;
}

std::optional<std::string> InputLine::UnsendableCharacter() const {
    std::string bytes;
    return Utf8ToWindows1252(text().toStdString(), bytes);
}

std::size_t InputLine::SelectionStart() const {
    return hasSelectedText() ? static_cast<std::size_t>(selectionStart())
                             : static_cast<std::size_t>(cursorPosition());
}

std::size_t InputLine::SelectionEnd() const {
    return hasSelectedText() ? static_cast<std::size_t>(selectionStart() + selectionLength())
                             : static_cast<std::size_t>(cursorPosition());
}

void InputLine::SetText(std::string_view text) {
    setText(QString::fromStdString(Windows1252ToUtf8(text)));
    setCursorPosition(0);
    deselect();
}

InputBox::State InputLine::SaveState() const {
    // Positions in the box's own units; the caret is the end the user moved last.
    const int caret = cursorPosition();
    const int anchor =
        hasSelectedText() ? (caret == selectionStart() ? selectionEnd() : selectionStart()) : caret;
    return {text().toStdString(), static_cast<std::size_t>(anchor),
            static_cast<std::size_t>(caret)};
}

void InputLine::RestoreState(const State& state) {
    setText(QString::fromStdString(state.text));
    const auto anchor = static_cast<int>(state.selectionStart);
    const auto caret = static_cast<int>(state.selectionEnd);
    setSelection(anchor, caret - anchor);
    if (anchor == caret) setCursorPosition(caret);
}

bool InputLine::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QKeySequence& menuKey : menuKeys_) {
            if (menuKey == pressed) {
                event->ignore();  // the menu's shortcut takes it
                return true;
            }
        }
    }
    return DollarLineEdit::event(event);
}

void InputLine::keyPressEvent(QKeyEvent* event) {
    const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
    if (!keypad && event->key() == Qt::Key_Up && onOlder) {
        onOlder();
        event->accept();
        return;
    }
    if (!keypad && event->key() == Qt::Key_Down && onNewer) {
        onNewer();
        event->accept();
        return;
    }
    DollarLineEdit::keyPressEvent(event);
}

}  // namespace ostrel
