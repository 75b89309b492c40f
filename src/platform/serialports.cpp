#include "serialports.h"

#include "adapterlatency.h"
#include "logging.h"
#include "runtimeerror.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <sys/sysmacros.h>
#endif
#endif

namespace quorlink {

namespace {

// A write of a few bytes normally reaches the driver at once; only a stalled
// line (a driver buffer that never empties) runs into this.
constexpr int WriteTimeoutMs = 3000;
// Enough reads to empty a driver holding more than any reply of the cards.
constexpr int MaxPullRounds = 8;
// What a drain allows beyond the queued bytes' time on the wire: the
// hardware's own buffer (not counted by the driver) and a busy machine.
constexpr qint64 HardwareBufferBytes = 128;
constexpr qint64 DrainMarginMs = 100;
// A drain looks at the queue at least this often.
constexpr qint64 MaxDrainSleepMs = 10;

QSerialPort::StopBits stopBitsFor(int stopBits)
{
    return stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

QSerialPort::Parity qtParity(Parity parity)
{
    switch (parity) {
    case Parity::None:
        return QSerialPort::NoParity;
    case Parity::Even:
        return QSerialPort::EvenParity;
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::Mark:
        return QSerialPort::MarkParity;
    case Parity::Space:
        return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

qint64 wireTimeMs(qint64 bytes, const LineSettings& settings)
{
    const qint64 bitsPerByte =
        1 + settings.dataBits + (settings.parity == Parity::None ? 0 : 1) + settings.stopBits;
    return (bytes * bitsPerByte * 1000 + settings.baud - 1) / settings.baud;
}

#if defined(Q_OS_UNIX)
QString systemErrorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
#endif

} // namespace

qint64 drainLimitMs(qint64 queuedBytes, const LineSettings& settings)
{
    return wireTimeMs(queuedBytes + HardwareBufferBytes, settings) + DrainMarginMs;
}

QtSerialDevice::QtSerialDevice(const QString& deviceName, std::function<void()> onMarkSpaceLost,
                               bool exemptPseudoTerminals)
    : m_deviceName(deviceName), m_onMarkSpaceLost(std::move(onMarkSpaceLost)),
      m_exemptPseudoTerminals(exemptPseudoTerminals),
      m_transmitQueued([this] { return driverTransmitQueue(); })
{
    m_port.setPortName(deviceName);
    if (!m_port.open(QIODevice::ReadWrite))
        fail("open", m_port.error(), m_port.errorString());
#if defined(Q_OS_LINUX)
    // Unix98 pseudo-terminal slaves use majors 136 to 143, whatever path
    // (a symbolic link made by a test harness, say) they were opened by.
    struct stat status = {};
    if (::fstat(m_port.handle(), &status) == 0 && S_ISCHR(status.st_mode)) {
        const unsigned int deviceMajor = major(status.st_rdev);
        m_pseudoTerminal = deviceMajor >= 136 && deviceMajor <= 143;
    }
#endif
    if (QFileInfo(deviceName).canonicalFilePath().startsWith(QLatin1String("/dev/pts/")))
        m_pseudoTerminal = true;
#if defined(Q_OS_LINUX)
    // Each record waits for a one-byte acknowledgement, which a USB adapter
    // would otherwise hold back for its whole latency timer. (Windows keeps
    // that setting in the adapter driver's own port properties.)
    m_lowLatency = requestLowLatency(m_port.handle());
    m_lowLatencyRequested = true;
#endif
    // A hung-up device stays readable and every read returns nothing, so the
    // event loop would read it again and again at full speed; close it
    // instead. The next operation then reports it gone. The signal also
    // reports harmless states (a poll that found nothing, an error being
    // cleared) many times per wait; an event posted for each of those would
    // wake every wait at once and spin the core. So only a real failure posts
    // the close, which must wait until the port has left its own read.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) {
                         if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError ||
                             !m_port.isOpen() || !deviceGone())
                             return;
                         QMetaObject::invokeMethod(
                             &m_port,
                             [this] {
                                 qCWarning(lcPlatform) << m_deviceName << "has gone away";
                                 m_port.close();
                             },
                             Qt::QueuedConnection);
                     });
    qCDebug(lcPlatform) << "opened" << deviceName << (m_pseudoTerminal ? "(pseudo-terminal)" : "")
                        << (m_lowLatency ? "(low latency)" : "");
}

QtSerialDevice::~QtSerialDevice()
{
    // Reopening must start afresh: nothing left over in either direction.
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::AllDirections);
        m_port.close();
    }
}

void QtSerialDevice::apply(const LineSettings& settings)
{
    requireOpen();
    throwIfFailed("apply settings");
    // The parity bit is the addressing bit: a byte still queued when the
    // parity changes would reach the cards with the wrong meaning.
    pushToDriver();
    drainDriver();

    bool applied = true;
    const bool all = !m_applied.has_value();
    if (all || m_applied->baud != settings.baud)
        applied = applied && m_port.setBaudRate(settings.baud);
    if (all || m_applied->dataBits != settings.dataBits)
        applied =
            applied && m_port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    if (all || m_applied->stopBits != settings.stopBits)
        applied = applied && m_port.setStopBits(stopBitsFor(settings.stopBits));
    if (all || m_applied->parity != settings.parity)
        applied = applied && m_port.setParity(qtParity(settings.parity));
    if (!applied)
        fail("apply settings", m_port.error(), m_port.errorString());
    m_applied = settings;

    const bool addressing = settings.parity == Parity::Mark || settings.parity == Parity::Space;
    if (!addressing || markSpaceHonoured(settings.parity))
        return;
    if ((m_pseudoTerminal && m_exemptPseudoTerminals) || m_markSpaceLossReported)
        return;
    m_markSpaceLossReported = true;
    qCWarning(lcPlatform) << m_deviceName << "does not keep mark/space parity";
    if (m_onMarkSpaceLost)
        m_onMarkSpaceLost();
}

void QtSerialDevice::write(const QByteArray& bytes)
{
    requireOpen();
    throwIfFailed("write");
    if (m_port.write(bytes) != bytes.size())
        fail("write", m_port.error(), m_port.errorString());
    pushToDriver();
}

int QtSerialDevice::bytesWaiting()
{
    requireOpen();
    throwIfFailed("read");
    pullFromDriver();
    return static_cast<int>(
        std::min<qint64>(m_port.bytesAvailable(), std::numeric_limits<int>::max()));
}

QByteArray QtSerialDevice::readAll()
{
    requireOpen();
    throwIfFailed("read");
    pullFromDriver();
    return m_port.readAll();
}

void QtSerialDevice::discardInput()
{
    requireOpen();
    throwIfFailed("discard input");
    if (!m_port.clear(QSerialPort::Input))
        fail("discard input", m_port.error(), m_port.errorString());
}

void QtSerialDevice::requireOpen()
{
    // Closed only after the device failed for good.
    if (!m_port.isOpen())
        throw RuntimeError(
            RuntimeError::DeviceUnavailable,
            QStringLiteral("%1: the device is no longer available").arg(m_deviceName));
}

// QSerialPort writes from the event loop, which does not run while the link
// sleeps between frames; hand every byte to the driver now.
void QtSerialDevice::pushToDriver()
{
    const QDeadlineTimer deadline(WriteTimeoutMs);
    while (m_port.bytesToWrite() > 0) {
        if (m_port.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            continue;
        throwIfFailed("write");
        if (deadline.hasExpired())
            fail("write", QSerialPort::TimeoutError,
                 QStringLiteral("the device accepts no more data"));
    }
}

// Waits until the driver has put every byte on the wire, but no longer than
// those bytes need: a wedged adapter must not freeze the window for good.
// Neither tcdrain nor FlushFileBuffers takes a time limit, so the queue is
// watched instead.
void QtSerialDevice::drainDriver()
{
    if (!m_applied)
        return; // just opened: nothing has been sent
    qint64 queued = m_transmitQueued();
    if (queued == 0)
        return;
    const qint64 limitMs = drainLimitMs(queued, *m_applied);
    const QDeadlineTimer deadline(limitMs);
    while (queued != 0) {
        if (deadline.hasExpired())
            fail("drain output", QSerialPort::TimeoutError,
                 QStringLiteral("%1 bytes have not left within %2 ms").arg(queued).arg(limitMs));
        QThread::msleep(static_cast<unsigned long>(
            std::clamp<qint64>(wireTimeMs(queued, *m_applied), 1, MaxDrainSleepMs)));
        queued = m_transmitQueued();
    }
}

// Bytes the driver still holds for sending; a byte still in the UART's
// transmitter counts as one.
qint64 QtSerialDevice::driverTransmitQueue()
{
#if defined(Q_OS_WIN)
    DWORD errors = 0;
    COMSTAT status = {};
    if (!::ClearCommError(m_port.handle(), &errors, &status))
        fail("drain output", QSerialPort::WriteError,
             QStringLiteral("error %1").arg(::GetLastError()));
    return qint64(status.cbOutQue);
#elif defined(Q_OS_UNIX)
    int queued = 0;
    if (::ioctl(m_port.handle(), TIOCOUTQ, &queued) != 0)
        fail("drain output", QSerialPort::WriteError, systemErrorText());
#if defined(TIOCSERGETLSR)
    // Only UARTs can tell; other devices (USB adapters, pseudo-terminals)
    // reject the request.
    unsigned int lineStatus = 0;
    if (queued == 0 && ::ioctl(m_port.handle(), TIOCSERGETLSR, &lineStatus) == 0 &&
        (lineStatus & TIOCSER_TEMT) == 0)
        queued = 1;
#endif
    return queued;
#else
    return 0;
#endif
}

// Bytes that arrived while the event loop was not running are still in the
// driver; QSerialPort only counts what it has read itself.
void QtSerialDevice::pullFromDriver()
{
    for (int round = 0; round < MaxPullRounds && driverHasNews() && m_port.waitForReadyRead(0);
         ++round) {
    }
    throwIfFailed("read");
}

// Whether the driver holds bytes or a hang-up. Asking QSerialPort instead
// costs a timeout error, and a signal, on every poll that finds nothing.
bool QtSerialDevice::driverHasNews() const
{
#if defined(Q_OS_UNIX)
    pollfd state = {m_port.handle(), POLLIN, 0};
    return ::poll(&state, 1, 0) != 0;
#else
    return true; // bytes may already sit in a finished overlapped read
#endif
}

bool QtSerialDevice::markSpaceHonoured(Parity parity)
{
#if defined(Q_OS_WIN)
    DCB state = {};
    state.DCBlength = sizeof(state);
    if (!::GetCommState(m_port.handle(), &state))
        fail("read back settings", QSerialPort::UnknownError,
             QStringLiteral("error %1").arg(::GetLastError()));
    return state.Parity == (parity == Parity::Mark ? MARKPARITY : SPACEPARITY);
#elif defined(Q_OS_UNIX)
    termios state = {};
    if (::tcgetattr(m_port.handle(), &state) != 0)
        fail("read back settings", QSerialPort::UnknownError, systemErrorText());
#if defined(CMSPAR)
    const tcflag_t relevant = PARENB | CMSPAR | PARODD;
    const tcflag_t wanted = PARENB | CMSPAR | (parity == Parity::Mark ? PARODD : 0);
    return (state.c_cflag & relevant) == wanted;
#else
    Q_UNUSED(parity);
    return false; // no way to ask the driver for mark or space parity
#endif
#else
    Q_UNUSED(parity);
    return true;
#endif
}

void QtSerialDevice::throwIfFailed(const char* action)
{
    const QSerialPort::SerialPortError error = m_port.error();
    if (error == QSerialPort::NoError)
        return;
    // "Nothing there yet" from a zero-timeout wait is no failure.
    if (error == QSerialPort::TimeoutError) {
        m_port.clearError();
        return;
    }
    fail(action, error, m_port.errorString());
}

void QtSerialDevice::fail(const char* action, QSerialPort::SerialPortError error,
                          const QString& detail)
{
    m_port.clearError();
    QString reason = detail;
    int code = RuntimeError::DeviceIo;
    if (error == QSerialPort::DeviceNotFoundError || error == QSerialPort::ResourceError) {
        code = RuntimeError::DeviceUnavailable;
    } else if (deviceGone()) {
        // The error text of a hung-up device is whatever errno was before.
        code = RuntimeError::DeviceUnavailable;
        reason = QStringLiteral("the device has gone away");
    } else if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError) {
        code = RuntimeError::PortAlreadyOpen; // held elsewhere, or not ours to use
    }

    const QString message =
        QStringLiteral("%1: %2 failed: %3").arg(m_deviceName, QLatin1String(action), reason);
    // Ports that cannot be opened are routine while the free ports are sought.
    if (m_port.isOpen())
        qCWarning(lcPlatform) << message;
    else
        qCDebug(lcPlatform) << message;
    if (code == RuntimeError::DeviceUnavailable && m_port.isOpen())
        m_port.close();
    throw RuntimeError(code, message);
}

// A tty whose device was unplugged (or whose pseudo-terminal master was
// closed) is hung up: reads return nothing rather than an error.
bool QtSerialDevice::deviceGone() const
{
#if defined(Q_OS_UNIX)
    if (m_port.isOpen()) {
        pollfd state = {m_port.handle(), POLLIN, 0};
        if (::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return true;
    }
    return m_deviceName.startsWith(QLatin1Char('/')) && !QFileInfo::exists(m_deviceName);
#else
    return false;
#endif
}

ComMapping parseComMapping(const QString& value)
{
    ComMapping mapping;
    const auto reject = [&](const QString& reason) {
        mapping.error = QStringLiteral("--com \"%1\": %2 (expected N=DEVICE with N from 1 to 4, "
                                       "e.g. 1=/dev/ttyUSB0)")
                            .arg(value, reason);
        return mapping;
    };
    const qsizetype separator = value.indexOf(QLatin1Char('='));
    if (separator < 0)
        return reject(QStringLiteral("no '='"));
    bool numeric = false;
    const int number = value.left(separator).trimmed().toInt(&numeric);
    if (!numeric || number < 1 || number > 4)
        return reject(QStringLiteral("the COM number must be 1 to 4"));
    const QString device = value.mid(separator + 1).trimmed();
    if (device.isEmpty())
        return reject(QStringLiteral("no device named"));
    mapping.comNumber = number;
    mapping.device = device;
    return mapping;
}

SystemDeviceProvider::SystemDeviceProvider(MarkSpaceWarning warning) : m_warning(std::move(warning))
{
}

void SystemDeviceProvider::mapDevice(int comNumber, const QString& device)
{
    m_mapped[comNumber] = device;
}

// The device keeps a callback into this provider: devices are closed before
// the provider goes away (the port that opens them holds the provider).
std::unique_ptr<SerialDevice> SystemDeviceProvider::open(int comNumber,
                                                         const LineSettings& settings)
{
    const QString device = deviceName(comNumber);
    auto serial = std::make_unique<QtSerialDevice>(
        device, [this, device] { warnOnce(device); }, m_exemptPseudoTerminals);
    serial->apply(settings);
    return serial;
}

QString SystemDeviceProvider::deviceName(int comNumber) const
{
    const auto mapped = m_mapped.find(comNumber);
    return mapped == m_mapped.end() ? defaultDeviceName(comNumber) : mapped->second;
}

QString SystemDeviceProvider::defaultDeviceName(int comNumber)
{
#if defined(Q_OS_WIN)
    return QStringLiteral("COM%1").arg(comNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
#endif
}

void SystemDeviceProvider::warnOnce(const QString& device)
{
    // Not marked as told until someone could be told.
    if (!m_warning || m_warned.contains(device))
        return;
    m_warned.insert(device);
    m_warning(device);
}

} // namespace quorlink
