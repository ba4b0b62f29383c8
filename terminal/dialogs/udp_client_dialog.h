// "New UDP Client": host, port and time-out. The time-out applies as it is typed; "&OK" stores
// host and port and marks the record in use.
#pragma once

#include <QDialog>

#include "terminal/session/session_settings.h"

namespace ostrel {

class DollarLineEdit;

class UdpClientDialog final : public QDialog {
public:
    UdpClientDialog(SessionSettings& settings, QWidget* parent = nullptr);

    void accept() override;

private:
    SessionSettings& settings_;
    DollarLineEdit* host_ = nullptr;
    DollarLineEdit* port_ = nullptr;
    DollarLineEdit* timeout_ = nullptr;
};

}  // namespace ostrel
