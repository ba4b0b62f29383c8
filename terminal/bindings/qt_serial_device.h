// A SerialDevice on QSerialPort. Received bytes wait in a buffer of kSerialReceiveQueue bytes
// (the device and its flow control hold the rest); writes are queued, and PendingBytes tells
// how much so its owner can bound it.
#pragma once

#include <QObject>

#include <memory>

#include "terminal/session/serial_device.h"

class QSerialPort;

namespace ostrel {

inline constexpr qint64 kSerialReceiveQueue = 8192;

class QtSerialDevice final : public SerialDevice {
public:
    QtSerialDevice();
    ~QtSerialDevice() override;

    bool Open(std::string_view path, std::string* reason) override;
    std::vector<std::string> Configure(const SerialConfig& config) override;
    bool IsOpen() const override;
    int Handle() const override;
    std::size_t BytesWaiting() override;
    std::string Read(std::size_t max) override;
    void Write(std::string_view data) override;
    std::size_t PendingBytes() override;
    void Close() override;
    void SetLostHandler(std::function<void(const std::string& reason)> handler) override;

private:
    void OnError(int error);

    QObject context_;
    std::unique_ptr<QSerialPort> port_;
    std::function<void(const std::string&)> lost_;
    bool lostPending_ = false;
    // Counts opens and closes: a loss reported from the event loop is dropped when the device
    // was opened again (or closed by its owner) since, so it never reaches a later session.
    unsigned generation_ = 0;
};

}  // namespace ostrel
