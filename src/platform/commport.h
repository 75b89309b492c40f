#pragma once

#include "serialdevice.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace quorlink {

// The serial port control the window owns (MSComm1): a port number, an
// open/closed state, a settings text and the byte operations the link uses.
// Settings may be set while closed; they are applied when the port opens.
// Every operation on a failing device throws RuntimeError.
class CommPort
{
public:
    explicit CommPort(DeviceProvider& provider);
    ~CommPort();
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;

    // Selects the device; only while the port is closed.
    void setCommPort(int number);
    int commPort() const { return m_commPort; }

    bool portOpen() const { return m_device != nullptr; }
    // True opens the selected device, False closes it; closing and opening
    // again discards everything waiting in both directions.
    void setPortOpen(bool open);

    void setSettings(const QString& settings);
    QString settings() const { return m_settingsText; }

    // Queues the bytes (element 0 first) and returns without waiting for them
    // to leave.
    void output(const QByteArray& bytes);
    int inBufferCount();
    // InBufferCount = 0: discards every received byte waiting.
    void clearInBuffer();
    QByteArray input();

    QString deviceName() const { return m_provider.deviceName(m_commPort); }
    // Where the open device leads; nothing while the port is closed.
    std::optional<DeviceReach> deviceReach() const
    {
        return m_device ? std::optional(m_device->reach()) : std::nullopt;
    }

private:
    SerialDevice& openDevice();

    DeviceProvider& m_provider;
    std::unique_ptr<SerialDevice> m_device;
    int m_commPort = 1;
    LineSettings m_settings;  // initial state: 9600 baud, 8 data bits
    QString m_settingsText = QStringLiteral("9600,n,8,1");
};

} // namespace quorlink
