#include "terminal/dialogs/address_fields.h"

#include <QDialog>
#include <QFormLayout>
#include <QLabel>

#include <string>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"

namespace ostrel {

// The time-out box holds any number the record can: ten characters, with a sign.
constexpr std::size_t kTimeoutCapacity = 10;

AddressFields::AddressFields(QDialog& dialog, SessionSettings& settings,
                             std::string_view defaultPort)
    : dialog_(dialog), settings_(settings) {
    const std::string port(TrimBlanks(settings.port).empty() ? defaultPort : settings.port);
    host_ = MakeField(dialog, QStringLiteral("host"), kHostCapacity, FromUtf8(settings.host));
    port_ = MakeField(dialog, QStringLiteral("port"), kPortCapacity, FromUtf8(port));
    portRule_ = MakePortRuleLabel(dialog);
}

void AddressFields::AddHostAndPortRows(QFormLayout& form) const {
    form.addRow(QStringLiteral("I.P. Address or URL"), host_);
    form.addRow(QStringLiteral("Port"), port_);
    form.addRow(QString(), portRule_);
}

bool AddressFields::CheckPort() const {
    return ostrel::CheckPort(*port_, *portRule_);
}

void AddressFields::AddTimeoutRow(QFormLayout& form) {
    timeout_ = MakeField(dialog_, QStringLiteral("timeout"), kTimeoutCapacity,
                         QString::number(settings_.timeout));
    SessionSettings& settings = settings_;
    QObject::connect(timeout_, &QLineEdit::textChanged, &dialog_, [&settings](const QString& text) {
        settings.timeout = ReadNumber(ToUtf8(text));
    });
    form.addRow(QStringLiteral("Timeout in Seconds"), timeout_);
}

void AddressFields::Store(SessionSettings& settings) const {
    settings.host = TrimmedUtf8(host_->text());
    settings.port = TrimmedUtf8(port_->text());
}

}  // namespace ostrel
