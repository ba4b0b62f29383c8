#include "terminal/window/input_line.h"

#include <QKeyEvent>

namespace ostrel {

InputLine::InputLine(QWidget* parent) : DollarLineEdit(parent) {
    setObjectName(QStringLiteral("input"));
}

std::string InputLine::Text() const {
    const QByteArray bytes = text().toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
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
    setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    setCursorPosition(0);
    deselect();
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
