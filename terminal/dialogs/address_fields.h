// The host, port and time-out boxes that the TCP Client, UDP Client and SSH Client dialogs share.
#pragma once

#include <string_view>

#include "terminal/session/session_settings.h"

class QDialog;
class QFormLayout;
class QLabel;

namespace ostrel {

class DollarLineEdit;

class AddressFields {
public:
    // The host and port boxes, children of dialog, filled from the record; a blank port shows
    // defaultPort. The record must outlive the dialog.
    AddressFields(QDialog& dialog, SessionSettings& settings, std::string_view defaultPort);

    // The rows "I.P. Address or URL" and "Port".
    void AddHostAndPortRows(QFormLayout& form) const;
    // The row "Timeout in Seconds". Its box is made here, so that it follows the boxes made
    // before it in the tab order; an edit applies to the record at once.
    void AddTimeoutRow(QFormLayout& form);
    // On "&OK": whether the port is a port (otherwise the dialog says so and stays open).
    bool CheckPort() const;
    // On "&OK": host and port, trimmed of blanks, into the record.
    void Store(SessionSettings& settings) const;

    DollarLineEdit& Host() const { return *host_; }

private:
    QDialog& dialog_;
    SessionSettings& settings_;
    DollarLineEdit* host_ = nullptr;
    DollarLineEdit* port_ = nullptr;
    DollarLineEdit* timeout_ = nullptr;
    QLabel* portRule_ = nullptr;
};

}  // namespace ostrel
