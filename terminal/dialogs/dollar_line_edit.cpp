#include "terminal/dialogs/dollar_line_edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include "terminal/core/paste_rule.h"

namespace ostrel {

DollarLineEdit::DollarLineEdit(QWidget* parent) : QLineEdit(parent) {}

void DollarLineEdit::PasteWithRule() {
    if (isReadOnly()) return;
    const QString clip = QGuiApplication::clipboard()->text();
    if (clip.isEmpty()) return;
    // Only CR and LF change, and they are single bytes in UTF-8, so the rule works on it.
    const QByteArray utf8 = clip.toUtf8();
    const std::string ruled =
        DollarPasteText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    insert(QString::fromUtf8(ruled.data(), static_cast<qsizetype>(ruled.size())));
}

void DollarLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Paste) {
        PasteWithRule();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DollarLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        if (action->objectName() != QLatin1String("edit-paste")) continue;
        action->disconnect();
        connect(action, &QAction::triggered, this, [this] { PasteWithRule(); });
    }
    menu->exec(event->globalPos());
    delete menu;
}

void DollarLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // After the mouse press that gave the focus has placed the cursor.
    if (selectAllOnFocus_) QTimer::singleShot(0, this, [this] { selectAll(); });
}

}  // namespace ostrel
