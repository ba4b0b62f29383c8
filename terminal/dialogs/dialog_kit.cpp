#include "terminal/dialogs/dialog_kit.h"

#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "terminal/core/code_page.h"
#include "terminal/core/text_util.h"
#include "terminal/dialogs/dollar_line_edit.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

void ApplyDialogFont(QWidget& dialog) {
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    dialog.setFont(font);
}

QFont TerminalFont() {
    QFont font(QStringLiteral("Courier New"), 12);
    font.setStyleHint(QFont::TypeWriter);
    // Without this the match may fall back to a proportional family, and the columns of the
    // pane and of the hex rows would no longer line up.
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(12);
    }
    return font;
}

QHBoxLayout* MakeOkCancelRow(QDialog& dialog, QPushButton** ok, QPushButton** cancel) {
    auto* row = new QHBoxLayout;
    auto* okButton = new QPushButton(QStringLiteral("&OK"), &dialog);
    auto* cancelButton = new QPushButton(QStringLiteral("&Cancel"), &dialog);
    okButton->setObjectName(QStringLiteral("ok"));
    cancelButton->setObjectName(QStringLiteral("cancel"));
    okButton->setDefault(true);
    okButton->setAutoDefault(true);
    cancelButton->setAutoDefault(false);
    row->addStretch(1);
    row->addWidget(okButton);
    row->addWidget(cancelButton);
    QObject::connect(okButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancelButton, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (ok != nullptr) *ok = okButton;
    if (cancel != nullptr) *cancel = cancelButton;
    return row;
}

QHBoxLayout* MakeActionCancelRow(QDialog& dialog, const QString& caption,
                                 const QString& acceptName) {
    QPushButton* action = nullptr;
    QHBoxLayout* row = MakeOkCancelRow(dialog, &action);
    action->setText(caption);
    action->setObjectName(acceptName);
    return row;
}

DollarLineEdit* MakeField(QDialog& dialog, const QString& objectName, std::size_t capacity,
                          const QString& text) {
    auto* field = new DollarLineEdit(&dialog);
    field->setObjectName(objectName);
    field->setMaxLength(static_cast<int>(capacity));
    field->setText(text);
    field->SetSelectAllOnFocus(true);
    return field;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

QString FromBytes(std::string_view bytes) {
    return QString::fromStdString(Windows1252ToUtf8(bytes));
}

std::string ToBytes(const QString& text) {
    std::string bytes;
    Utf8ToWindows1252(text.toStdString(), bytes);
    return bytes;
}

QLabel* MakePortRuleLabel(QDialog& dialog) {
    auto* rule = new QLabel(QString::fromUtf8(kPortRule.data(), kPortRule.size()), &dialog);
    rule->setObjectName(QStringLiteral("portRule"));
    rule->setStyleSheet(QStringLiteral("color: #b00000"));
    rule->hide();
    return rule;
}

bool CheckPort(QLineEdit& port, QLabel& rule) {
    if (IsPortNumber(ToUtf8(port.text()))) {
        rule.hide();
        return true;
    }
    rule.show();
    port.setFocus();
    port.selectAll();
    return false;
}

std::string TrimmedUtf8(const QString& text) {
    return std::string(TrimBlanks(ToUtf8(text)));
}

}  // namespace ostrel
