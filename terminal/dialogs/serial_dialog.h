// "New Serial Session": the port (from the machine's free serial devices) and its settings.
// "&OK" makes the record a Serial session in use.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "terminal/session/session_settings.h"

class QComboBox;

namespace ostrel {

// Shown (title "Port Error!") instead of the dialog when no port can be opened.
inline constexpr const char* kNoSerialPorts = "No serial ports are currently available...";

// The lists and their first choices.
inline constexpr const char* kBaudRates[] = {"110",   "300",   "1200",   "2400",   "4800",
                                             "9600",  "19200", "38400",  "57600",  "115200",
                                             "230400", "460800", "921600"};

class SerialDialog final : public QDialog {
public:
    SerialDialog(SessionSettings& settings, const std::vector<std::string>& ports,
                 QWidget* parent = nullptr);

    void accept() override;

private:
    SessionSettings& settings_;
    QComboBox* port_ = nullptr;
    QComboBox* baud_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* dataBits_ = nullptr;
    QComboBox* stopBits_ = nullptr;
    QComboBox* flow_ = nullptr;
};

}  // namespace ostrel
