#include "terminal/dialogs/udp_client_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"

namespace ostrel {

UdpClientDialog::UdpClientDialog(SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), address_(*this, settings, "23") {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMUDPCLIENT_CLASS"));
    setWindowTitle(QStringLiteral("New UDP Client"));
    setModal(true);
    ApplyDialogFont(*this);

    auto* form = new QFormLayout;
    address_.AddHostAndPortRows(*form);
    address_.AddTimeoutRow(*form);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(MakeOkCancelRow(*this));
    address_.Host().setFocus();
}

void UdpClientDialog::accept() {
    if (!address_.CheckPort()) return;
    address_.Store(settings_);
    settings_.inUse = true;
    QDialog::accept();
}

}  // namespace ostrel
