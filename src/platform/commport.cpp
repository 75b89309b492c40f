#include "commport.h"

#include "runtimeerror.h"

#include <QStringList>

namespace quorlink {

std::optional<LineSettings> LineSettings::parse(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    bool baudOk = false;
    bool dataOk = false;
    bool stopOk = false;
    LineSettings result;
    result.baud = parts[0].trimmed().toInt(&baudOk);
    result.dataBits = parts[2].trimmed().toInt(&dataOk);
    result.stopBits = parts[3].trimmed().toInt(&stopOk);
    const QString letter = parts[1].trimmed().toLower();
    if (!baudOk || !dataOk || !stopOk || letter.size() != 1 || result.baud <= 0)
        return std::nullopt;
    if (result.dataBits < 5 || result.dataBits > 8 || result.stopBits < 1 || result.stopBits > 2)
        return std::nullopt;
    switch (letter.at(0).toLatin1()) {
    case 'n': result.parity = Parity::None; break;
    case 'e': result.parity = Parity::Even; break;
    case 'o': result.parity = Parity::Odd; break;
    case 'm': result.parity = Parity::Mark; break;
    case 's': result.parity = Parity::Space; break;
    default: return std::nullopt;
    }
    return result;
}

QString LineSettings::toString() const
{
    static constexpr char letters[] = {'n', 'e', 'o', 'm', 's'};
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(QLatin1Char(letters[static_cast<int>(parity)]))
        .arg(dataBits)
        .arg(stopBits);
}

CommPort::CommPort(DeviceProvider& provider) : m_provider(provider) {}

CommPort::~CommPort() = default;

void CommPort::setCommPort(int number)
{
    if (portOpen())
        throw RuntimeError(RuntimeError::PortAlreadyOpen, QStringLiteral("Port already open"));
    if (number < 1 || number > 16)
        throw RuntimeError(RuntimeError::InvalidPortNumber, QStringLiteral("Invalid port number"));
    m_commPort = number;
}

void CommPort::setPortOpen(bool open)
{
    if (!open) {
        m_device.reset();
        return;
    }
    if (portOpen())
        throw RuntimeError(RuntimeError::PortAlreadyOpen, QStringLiteral("Port already open"));
    m_device = m_provider.open(m_commPort, m_settings);
}

// A device that fails is dropped, so the port reads closed afterwards and a
// later reopen starts afresh.
template <typename Operation>
static auto guarded(std::unique_ptr<SerialDevice>& device, Operation&& operation)
{
    try {
        return operation();
    } catch (const RuntimeError& error) {
        if (error.code() == RuntimeError::DeviceUnavailable)
            device.reset();
        throw;
    }
}

void CommPort::setSettings(const QString& settings)
{
    const std::optional<LineSettings> parsed = LineSettings::parse(settings);
    if (!parsed)
        throw RuntimeError(RuntimeError::InvalidProperty, QStringLiteral("Invalid property value"));
    if (m_device)
        guarded(m_device, [&] { m_device->apply(*parsed); });
    m_settings = *parsed;
    m_settingsText = parsed->toString();
}

SerialDevice& CommPort::openDevice()
{
    if (!m_device)
        throw RuntimeError(RuntimeError::PortNotOpen,
                           QStringLiteral("Operation not valid: port is closed"));
    return *m_device;
}

void CommPort::output(const QByteArray& bytes)
{
    SerialDevice& device = openDevice();
    guarded(m_device, [&] { device.write(bytes); });
}

int CommPort::inBufferCount()
{
    SerialDevice& device = openDevice();
    return guarded(m_device, [&] { return device.bytesWaiting(); });
}

void CommPort::clearInBuffer()
{
    SerialDevice& device = openDevice();
    guarded(m_device, [&] { device.discardInput(); });
}

QByteArray CommPort::input()
{
    SerialDevice& device = openDevice();
    return guarded(m_device, [&] { return device.readAll(); });
}

} // namespace quorlink
