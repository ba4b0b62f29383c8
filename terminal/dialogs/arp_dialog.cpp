#include "terminal/dialogs/arp_dialog.h"

#include <QLabel>
#include <QVBoxLayout>

#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

ArpDialog::ArpDialog(const std::string& address, const std::string& mac, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMARP_CLASS"));
    setWindowTitle(QStringLiteral("Arp"));
    setModal(true);
    ApplyDialogFont(*this);

    address_ = MakeField(*this, QStringLiteral("address"), kHostCapacity, FromUtf8(address));
    mac_ = MakeField(*this, QStringLiteral("mac"), 17, FromUtf8(mac));
    auto* addressLabel = new QLabel(QStringLiteral("I.P. Address"), this);
    addressLabel->setBuddy(address_);
    auto* macLabel = new QLabel(QStringLiteral("MAC Address   (xx-xx-xx-xx-xx-xx)"), this);
    macLabel->setBuddy(mac_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(addressLabel);
    layout->addWidget(address_);
    layout->addWidget(macLabel);
    layout->addWidget(mac_);
    layout->addLayout(MakeActionCancelRow(*this, QStringLiteral("&Arp"), QStringLiteral("run")));
    setMinimumWidth(320);
    address_->setFocus();
    address_->selectAll();
}

ArpDialog::Answer ArpDialog::Boxes() const {
    return {ToUtf8(address_->text()), ToUtf8(mac_->text())};
}

std::optional<ArpDialog::Answer> RunArpDialog(QWidget* parent, const std::string& address,
                                              const std::string& mac) {
    ArpDialog dialog(address, mac, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Boxes();
}

}  // namespace ostrel
