#include "terminal/dialogs/serial_ports.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>

namespace ostrel {

std::vector<std::string> AvailableSerialPorts(const std::vector<std::string>& extra) {
    std::vector<std::string> candidates;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        candidates.push_back(info.systemLocation().toStdString());
    std::sort(candidates.begin(), candidates.end());
    for (const std::string& path : extra)
        if (!path.empty()) candidates.insert(candidates.begin(), path);

    std::vector<std::string> usable;
    for (const std::string& path : candidates) {
        if (std::find(usable.begin(), usable.end(), path) != usable.end()) continue;
        // Opening is the only reliable test that a port exists and is free.
        QSerialPort probe(QString::fromStdString(path));
        if (probe.open(QIODevice::ReadWrite)) {
            probe.close();
            usable.push_back(path);
        }
    }
    return usable;
}

}  // namespace ostrel
