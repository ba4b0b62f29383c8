// The new-session dialogs by session type, and the session meta-data dialog. Each is modal to its
// owner and edits the record; confirming sets "in use".
#pragma once

#include <string>
#include <vector>

#include "terminal/session/dialog_result.h"
#include "terminal/session/session_settings.h"

class QWidget;

namespace ostrel {

// Serial: lists the free serial devices (and the record's port); with none, the "Port Error!"
// message box instead, and Cancelled.
DialogResult ShowSerialDialog(QWidget* owner, SessionSettings& settings);
// The same with a given list of ports.
DialogResult ShowSerialDialog(QWidget* owner, SessionSettings& settings,
                              const std::vector<std::string>& ports);
DialogResult ShowTcpClientDialog(QWidget* owner, SessionSettings& settings);
DialogResult ShowTcpServerDialog(QWidget* owner, SessionSettings& settings);
DialogResult ShowUdpClientDialog(QWidget* owner, SessionSettings& settings);
DialogResult ShowUdpServerDialog(QWidget* owner, SessionSettings& settings);
DialogResult ShowSshClientDialog(QWidget* owner, SessionSettings& settings);
void ShowSessionMetaDialog(QWidget* owner, SessionSettings& settings);

// The dialog of a session type (Cancelled for None).
DialogResult ShowSessionDialog(QWidget* owner, SessionType type, SessionSettings& settings);

}  // namespace ostrel
