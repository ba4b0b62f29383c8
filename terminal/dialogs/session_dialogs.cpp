#include "terminal/dialogs/session_dialogs.h"

#include <QMessageBox>

#include "terminal/dialogs/port_dialog.h"
#include "terminal/dialogs/serial_dialog.h"
#include "terminal/dialogs/serial_ports.h"
#include "terminal/dialogs/session_meta_dialog.h"
#include "terminal/dialogs/ssh_client_dialog.h"
#include "terminal/dialogs/tcp_client_dialog.h"
#include "terminal/dialogs/udp_client_dialog.h"

namespace ostrel {
namespace {

DialogResult Run(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted ? DialogResult::Confirmed : DialogResult::Cancelled;
}

}  // namespace

DialogResult ShowSerialDialog(QWidget* owner, SessionSettings& settings) {
    return ShowSerialDialog(owner, settings, AvailableSerialPorts({settings.serialPort}));
}

DialogResult ShowSerialDialog(QWidget* owner, SessionSettings& settings,
                              const std::vector<std::string>& ports) {
    if (ports.empty()) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Port Error!"),
                        QString::fromLatin1(kNoSerialPorts), QMessageBox::Ok, owner);
        box.exec();
        return DialogResult::Cancelled;
    }
    SerialDialog dialog(settings, ports, owner);
    return Run(dialog);
}

DialogResult ShowTcpClientDialog(QWidget* owner, SessionSettings& settings) {
    TcpClientDialog dialog(settings, owner);
    return Run(dialog);
}

DialogResult ShowTcpServerDialog(QWidget* owner, SessionSettings& settings) {
    PortDialog dialog(SessionType::TcpServer, settings, owner);
    return Run(dialog);
}

DialogResult ShowUdpClientDialog(QWidget* owner, SessionSettings& settings) {
    UdpClientDialog dialog(settings, owner);
    return Run(dialog);
}

DialogResult ShowUdpServerDialog(QWidget* owner, SessionSettings& settings) {
    PortDialog dialog(SessionType::UdpServer, settings, owner);
    return Run(dialog);
}

DialogResult ShowSshClientDialog(QWidget* owner, SessionSettings& settings) {
    SshClientDialog dialog(settings, owner);
    return Run(dialog);
}

void ShowSessionMetaDialog(QWidget* owner, SessionSettings& settings) {
    SessionMetaDialog dialog(settings, owner);
    dialog.exec();
}

DialogResult ShowSessionDialog(QWidget* owner, SessionType type, SessionSettings& settings) {
    switch (type) {
        case SessionType::Serial:
            return ShowSerialDialog(owner, settings);
        case SessionType::TcpClient:
            return ShowTcpClientDialog(owner, settings);
        case SessionType::TcpServer:
            return ShowTcpServerDialog(owner, settings);
        case SessionType::UdpClient:
            return ShowUdpClientDialog(owner, settings);
        case SessionType::UdpServer:
            return ShowUdpServerDialog(owner, settings);
        case SessionType::SshClient:
            return ShowSshClientDialog(owner, settings);
        case SessionType::None:
            break;
    }
    return DialogResult::Cancelled;
}

}  // namespace ostrel
