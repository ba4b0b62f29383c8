// "New TCP Server" and "New UDP Server": one box, the port to listen on.
#pragma once

#include <QDialog>

#include "terminal/session/session_settings.h"

class QLabel;

namespace ostrel {

class DollarLineEdit;

class PortDialog final : public QDialog {
public:
    // server: TcpServer or UdpServer, which decides the title.
    PortDialog(SessionType server, SessionSettings& settings, QWidget* parent = nullptr);

    void accept() override;
    void reject() override;

private:
    SessionSettings& settings_;
    DollarLineEdit* port_ = nullptr;
    QLabel* portRule_ = nullptr;
};

}  // namespace ostrel
