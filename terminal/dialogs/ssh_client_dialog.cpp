#include "terminal/tools/ssh_client_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/tools/dialog_kit.h"
#include "terminal/tools/dollar_line_edit.h"

namespace ostrel {

SshClientDialog::SshClientDialog(SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMSSHCLIENT_CLASS"));
    setWindowTitle(QStringLiteral("New Secure Shell Client"));
    setModal(true);
    ApplyDialogFont(*this);

    const std::string port = TrimBlanks(settings.port).empty() ? "22" : settings.port;
    host_ = MakeField(*this, QStringLiteral("host"), kHostCapacity, FromUtf8(settings.host));
    port_ = MakeField(*this, QStringLiteral("port"), kPortCapacity, FromUtf8(port));
    login_ = MakeField(*this, QStringLiteral("login"), kSshFieldCapacity,
                       FromUtf8(settings.sshUser));
    password_ = MakeField(*this, QStringLiteral("password"), kSshFieldCapacity,
                          FromUtf8(settings.sshPassword));
    password_->setEchoMode(QLineEdit::Password);
    timeout_ = MakeField(*this, QStringLiteral("timeout"), 10,
                         QString::number(settings.timeout));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("I.P. Address or URL"), host_);
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QStringLiteral("Login:"), login_);
    form->addRow(QStringLiteral("Password"), password_);
    form->addRow(QStringLiteral("Timeout in Seconds"), timeout_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(MakeOkCancelRow(*this));

    connect(timeout_, &QLineEdit::textChanged, this,
            [this](const QString& text) { settings_.timeout = ReadNumber(ToUtf8(text)); });
    host_->setFocus();
}

SshClientDialog::~SshClientDialog() {
    // The box's copy of the password is overwritten before the memory goes back.
    password_->setText(QString(password_->text().size(), QLatin1Char(' ')));
    password_->clear();
}

void SshClientDialog::accept() {
    settings_.host = TrimmedUtf8(host_->text());
    settings_.port = TrimmedUtf8(port_->text());
    settings_.sshUser = TrimmedUtf8(login_->text());
    WipeSecret(settings_.sshPassword);
    std::string typed = ToUtf8(password_->text());
    settings_.sshPassword.assign(TrimBlanks(typed));
    WipeSecret(typed);
    settings_.inUse = true;
    QDialog::accept();
}

}  // namespace ostrel
