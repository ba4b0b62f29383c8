// "New Secure Shell Client": host, port, login, password and time-out. The time-out applies as
// it is typed; "&OK" stores the rest and marks the record in use.
#pragma once

#include <QDialog>

#include "terminal/dialogs/address_fields.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

class DollarLineEdit;

class SshClientDialog final : public QDialog {
public:
    SshClientDialog(SessionSettings& settings, QWidget* parent = nullptr);
    ~SshClientDialog() override;

    void accept() override;

private:
    SessionSettings& settings_;
    AddressFields address_;
    DollarLineEdit* login_ = nullptr;
    DollarLineEdit* password_ = nullptr;
};

}  // namespace ostrel
