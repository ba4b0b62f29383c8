#include "terminal/tools/udp_client_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/tools/dialog_kit.h"
#include "terminal/tools/dollar_line_edit.h"

namespace ostrel {

UdpClientDialog::UdpClientDialog(SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMUDPCLIENT_CLASS"));
    setWindowTitle(QStringLiteral("New UDP Client"));
    setModal(true);
    ApplyDialogFont(*this);

    const std::string port = TrimBlanks(settings.port).empty() ? "23" : settings.port;
    host_ = MakeField(*this, QStringLiteral("host"), kHostCapacity, FromUtf8(settings.host));
    port_ = MakeField(*this, QStringLiteral("port"), kPortCapacity, FromUtf8(port));
    timeout_ = MakeField(*this, QStringLiteral("timeout"), 10,
                         QString::number(settings.timeout));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("I.P. Address or URL"), host_);
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QStringLiteral("Timeout in Seconds"), timeout_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(MakeOkCancelRow(*this));

    connect(timeout_, &QLineEdit::textChanged, this,
            [this](const QString& text) { settings_.timeout = ReadNumber(ToUtf8(text)); });
    host_->setFocus();
}

void UdpClientDialog::accept() {
    settings_.host = TrimmedUtf8(host_->text());
    settings_.port = TrimmedUtf8(port_->text());
    settings_.inUse = true;
    QDialog::accept();
}

}  // namespace ostrel
