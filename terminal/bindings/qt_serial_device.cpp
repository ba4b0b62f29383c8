#include "terminal/bindings/qt_serial_device.h"

#include <QSerialPort>
#include <QTimer>

namespace ostrel {

QtSerialDevice::QtSerialDevice() = default;

QtSerialDevice::~QtSerialDevice() {
    Close();
}

bool QtSerialDevice::Open(std::string_view path, std::string* reason) {
    Close();
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    port->setReadBufferSize(kSerialReceiveQueue);
    if (!port->open(QIODevice::ReadWrite)) {
        if (reason != nullptr) *reason = port->errorString().toStdString();
        return false;
    }
    QObject::connect(port.get(), &QSerialPort::errorOccurred, &context_,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
    port_ = std::move(port);
    lostPending_ = false;
    ++generation_;
    return true;
}

std::vector<std::string> QtSerialDevice::Configure(const SerialConfig& config) {
    std::vector<std::string> refused;
    if (!IsOpen()) return refused;
    if (!port_->setBaudRate(config.baud)) refused.push_back(std::to_string(config.baud) + " baud");

    const int bits = config.dataBits;
    if (bits < 5 || bits > 8 || !port_->setDataBits(static_cast<QSerialPort::DataBits>(bits)))
        refused.push_back(std::to_string(bits) + " data bits");

    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (config.parity) {
        case Parity::None: parity = QSerialPort::NoParity; break;
        case Parity::Odd: parity = QSerialPort::OddParity; break;
        case Parity::Even: parity = QSerialPort::EvenParity; break;
        case Parity::Mark: parity = QSerialPort::MarkParity; break;
        case Parity::Space: parity = QSerialPort::SpaceParity; break;
    }
    if (!port_->setParity(parity)) refused.push_back("this parity");

    QSerialPort::StopBits stop = QSerialPort::OneStop;
    std::string stopName = "1 stop bit";
    switch (config.stopBits) {
        case StopBits::One: break;
        case StopBits::OneAndHalf: stop = QSerialPort::OneAndHalfStop; stopName = "1.5 stop bits"; break;
        case StopBits::Two: stop = QSerialPort::TwoStop; stopName = "2 stop bits"; break;
    }
    if (!port_->setStopBits(stop)) refused.push_back(stopName);

    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    switch (config.flow) {
        case FlowControl::None: break;
        case FlowControl::Hardware: flow = QSerialPort::HardwareControl; break;
        case FlowControl::Software: flow = QSerialPort::SoftwareControl; break;
    }
    if (!port_->setFlowControl(flow)) refused.push_back("this flow control");
    // Refusals are reported above; the port keeps working with what it accepted.
    port_->clearError();
    return refused;
}

bool QtSerialDevice::IsOpen() const {
    return port_ != nullptr && port_->isOpen();
}

int QtSerialDevice::Handle() const {
    return IsOpen() ? static_cast<int>(port_->handle()) : -1;
}

std::size_t QtSerialDevice::BytesWaiting() {
    return IsOpen() ? static_cast<std::size_t>(port_->bytesAvailable()) : 0;
}

std::string QtSerialDevice::Read(std::size_t max) {
    if (!IsOpen()) return {};
    std::string data(max, '\0');
    const qint64 count = port_->read(data.data(), static_cast<qint64>(max));
    data.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return data;
}

void QtSerialDevice::Write(std::string_view data) {
    if (IsOpen()) port_->write(data.data(), static_cast<qint64>(data.size()));
}

std::size_t QtSerialDevice::PendingBytes() {
    return IsOpen() ? static_cast<std::size_t>(port_->bytesToWrite()) : 0;
}

void QtSerialDevice::Close() {
    ++generation_;
    if (port_ == nullptr) return;
    QObject::disconnect(port_.get(), nullptr, &context_, nullptr);
    port_->close();
    // Closing may happen inside one of the port's own signals; it is deleted from the loop.
    port_.release()->deleteLater();
}

void QtSerialDevice::SetLostHandler(std::function<void(const std::string& reason)> handler) {
    lost_ = std::move(handler);
}

void QtSerialDevice::OnError(int error) {
    // A device that disappears reports read, write or resource errors, again and again while it
    // stays open: it is closed at once so nothing spins, and its owner hears of it once, from the
    // event loop. Refused settings (unsupported operations) are not failures of the device.
    switch (error) {
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
        case QSerialPort::ResourceError:
        case QSerialPort::PermissionError:
        case QSerialPort::DeviceNotFoundError:
            break;
        default:
            return;
    }
    if (lostPending_ || port_ == nullptr) return;
    const std::string reason = port_->errorString().toStdString();
    lostPending_ = true;
    Close();
    const unsigned generation = generation_;  // after this close: the owner's next one counts
    QTimer::singleShot(0, &context_, [this, reason, generation] {
        if (lost_ && generation == generation_) lost_(reason);
    });
}

}  // namespace ostrel
