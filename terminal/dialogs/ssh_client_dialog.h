// "New Secure Shell Client": host, port, login, password and time-out. The SSH session itself
// is not part of this build yet; the dialog fills the record all the same.
#pragma once

#include <QDialog>

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
    DollarLineEdit* host_ = nullptr;
    DollarLineEdit* port_ = nullptr;
    DollarLineEdit* login_ = nullptr;
    DollarLineEdit* password_ = nullptr;
    DollarLineEdit* timeout_ = nullptr;
};

}  // namespace ostrel
