// "New UDP Client": host, port and time-out. The time-out applies as it is typed; "&OK" stores
// host and port and marks the record in use.
#pragma once

#include <QDialog>

#include "terminal/dialogs/address_fields.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

class UdpClientDialog final : public QDialog {
public:
    UdpClientDialog(SessionSettings& settings, QWidget* parent = nullptr);

    void accept() override;

private:
    SessionSettings& settings_;
    AddressFields address_;
};

}  // namespace ostrel
