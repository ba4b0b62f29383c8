#include "terminal/dialogs/port_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"

namespace ostrel {

PortDialog::PortDialog(SessionType server, SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    const bool tcp = server == SessionType::TcpServer;
    setObjectName(tcp ? QStringLiteral("FORM_OSTREL_FRMTCPSERVER_CLASS")
                      : QStringLiteral("FORM_OSTREL_FRMUDPSERVER_CLASS"));
    setWindowTitle(tcp ? QStringLiteral("New TCP Server") : QStringLiteral("New UDP Server"));
    setModal(true);
    ApplyDialogFont(*this);

    const std::string port = TrimBlanks(settings.port).empty() ? "23" : settings.port;
    port_ = MakeField(*this, QStringLiteral("port"), kPortCapacity, FromUtf8(port));
    portRule_ = MakePortRuleLabel(*this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QString(), portRule_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(MakeOkCancelRow(*this));
    port_->setFocus();
}

void PortDialog::accept() {
    if (!CheckPort(*port_, *portRule_)) return;
    settings_.port = TrimmedUtf8(port_->text());
    settings_.inUse = true;
    QDialog::accept();
}

void PortDialog::reject() {
    settings_.inUse = false;
    QDialog::reject();
}

}  // namespace ostrel
