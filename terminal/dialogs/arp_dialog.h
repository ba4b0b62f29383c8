// "Arp": the address and the MAC address of a static ARP entry, "&Arp" and "&Cancel". The
// address box has the focus with its text selected.
#pragma once

#include <QDialog>

#include <optional>
#include <string>

namespace ostrel {

class DollarLineEdit;

class ArpDialog final : public QDialog {
public:
    struct Answer {
        std::string address;
        std::string mac;
    };
    ArpDialog(const std::string& address, const std::string& mac, QWidget* parent = nullptr);
    Answer Boxes() const;

private:
    DollarLineEdit* address_ = nullptr;
    DollarLineEdit* mac_ = nullptr;
};

std::optional<ArpDialog::Answer> RunArpDialog(QWidget* parent, const std::string& address,
                                              const std::string& mac);

}  // namespace ostrel
