// "New TCP Client": host, port, time-out, HTTP mode with its request, and TLS with its protocol
// choice. Edits of the time-out, the request and the check boxes apply to the record at once;
// "&OK" stores host and port and marks the record in use.
#pragma once

#include <QDialog>

#include "terminal/dialogs/address_fields.h"
#include "terminal/session/session_settings.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace ostrel {

class TcpClientDialog final : public QDialog {
public:
    TcpClientDialog(SessionSettings& settings, QWidget* parent = nullptr);

    void accept() override;

private:
    void UpdateEnabling();
    void GenerateRequest();

    SessionSettings& settings_;
    AddressFields address_;
    QCheckBox* http_ = nullptr;
    QCheckBox* secure_ = nullptr;
    QComboBox* protocol_ = nullptr;
    QPlainTextEdit* request_ = nullptr;
    QPushButton* generate_ = nullptr;
};

}  // namespace ostrel
