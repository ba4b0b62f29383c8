#include "terminal/dialogs/ssh_client_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"

namespace ostrel {

SshClientDialog::SshClientDialog(SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), address_(*this, settings, "22") {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMSSHCLIENT_CLASS"));
    setWindowTitle(QStringLiteral("New Secure Shell Client"));
    setModal(true);
    ApplyDialogFont(*this);

    login_ = MakeField(*this, QStringLiteral("login"), kSshFieldCapacity,
                       FromUtf8(settings.sshUser));
    password_ = MakeField(*this, QStringLiteral("password"), kSshFieldCapacity,
                          FromUtf8(settings.sshPassword));
    password_->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    address_.AddHostAndPortRows(*form);
    form->addRow(QStringLiteral("Login:"), login_);
    form->addRow(QStringLiteral("Password"), password_);
    address_.AddTimeoutRow(*form);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(MakeOkCancelRow(*this));
    address_.Host().setFocus();
}

SshClientDialog::~SshClientDialog() {
    // The box's copy of the password is overwritten before the memory goes back.
    password_->setText(QString(password_->text().size(), QLatin1Char(' ')));
    password_->clear();
}

void SshClientDialog::accept() {
    if (!address_.CheckPort()) return;
    address_.Store(settings_);
    settings_.sshUser = TrimmedUtf8(login_->text());
    WipeSecret(settings_.sshPassword);
    std::string typed = ToUtf8(password_->text());
    settings_.sshPassword.assign(TrimBlanks(typed));
    WipeSecret(typed);
    settings_.inUse = true;
    QDialog::accept();
}

}  // namespace ostrel
