#include "terminal/window/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace ostrel {

bool QtClipboard::SetText(std::string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    return true;
}

}  // namespace ostrel
