#include "terminal/dialogs/host_tool_dialog.h"

#include <QLabel>
#include <QVBoxLayout>

#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"

namespace ostrel {
namespace {

struct ToolTexts {
    const char* objectName;
    const char* title;
    const char* label;
    const char* button;
};

ToolTexts TextsOf(HostToolDialog::Tool tool) {
    switch (tool) {
        case HostToolDialog::Tool::Ping:
            return {"FORM_OSTREL_FRMPING_CLASS", "Ping", "I.P. Address or URL", "&Ping"};
        case HostToolDialog::Tool::TraceRoute:
            return {"FORM_OSTREL_FRMTRACERT_CLASS", "Trace Route", "I.P. Address or URL", "&Trace"};
        case HostToolDialog::Tool::OpenInBrowser:
            break;
    }
    return {"FORM_OSTREL_FRMOPENINBROWSER_CLASS", "Open in Browser",
            "URL             (must include 'http://')", "&Open"};
}

// The browser's address may be longer than a host name.
constexpr std::size_t kBoxCapacity = 2048;

}  // namespace

HostToolDialog::HostToolDialog(Tool tool, const std::string& initial, QWidget* parent)
    : QDialog(parent) {
    const ToolTexts texts = TextsOf(tool);
    setObjectName(QString::fromLatin1(texts.objectName));
    setWindowTitle(QString::fromLatin1(texts.title));
    setModal(true);
    ApplyDialogFont(*this);

    auto* label = new QLabel(QString::fromLatin1(texts.label), this);
    box_ = MakeField(*this, QStringLiteral("address"), kBoxCapacity, FromUtf8(initial));
    label->setBuddy(box_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(box_);
    layout->addLayout(
        MakeActionCancelRow(*this, QString::fromLatin1(texts.button), QStringLiteral("run")));
    setMinimumWidth(320);
    box_->setFocus();
    box_->selectAll();
}

std::string HostToolDialog::Text() const {
    return ToUtf8(box_->text());
}

std::optional<std::string> RunHostToolDialog(QWidget* parent, HostToolDialog::Tool tool,
                                             const std::string& initial) {
    HostToolDialog dialog(tool, initial, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Text();
}

}  // namespace ostrel
