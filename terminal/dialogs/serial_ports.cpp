#include "terminal/dialogs/serial_ports.h"

#include <sys/stat.h>
#include <QSerialPortInfo>

#include <algorithm>

namespace ostrel {
namespace {

bool IsDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

}  // namespace

std::vector<std::string> AvailableSerialPorts(const std::vector<std::string>& extra) {
    std::vector<std::string> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back(info.systemLocation().toStdString());
    std::sort(ports.begin(), ports.end());
    for (auto it = extra.rbegin(); it != extra.rend(); ++it)
        if (!it->empty() && IsDevice(*it)) ports.insert(ports.begin(), *it);
    std::vector<std::string> listed;
    for (const std::string& path : ports)
        if (std::find(listed.begin(), listed.end(), path) == listed.end()) listed.push_back(path);
    return listed;
}

}  // namespace ostrel
