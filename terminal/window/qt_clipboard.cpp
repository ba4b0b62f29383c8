#include "terminal/window/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "terminal/core/code_page.h"

namespace ostrel {

bool QtClipboard::SetText(std::string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(QString::fromStdString(Windows1252ToUtf8(text)));
    return true;
}

}  // namespace ostrel
