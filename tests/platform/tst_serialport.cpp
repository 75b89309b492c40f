// The real serial path, driven against the slave side of a pseudo-terminal
// pair; the test plays the cards on the master side.
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "platform/serialports.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace quorlink;

namespace {

constexpr int PatienceMs = 5000; // only ever reached when something is broken

struct PseudoTerminal
{
    PseudoTerminal()
    {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0)
            slavePath = QString::fromLocal8Bit(::ttyname(slave));
    }
    ~PseudoTerminal()
    {
        closeMaster();
        ::close(slave);
    }

    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    bool send(const QByteArray& bytes) const
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // What the device has sent, once `count` bytes are there.
    QByteArray receive(qsizetype count) const
    {
        QByteArray received;
        char chunk[256];
        const QDeadlineTimer deadline(PatienceMs);
        while (received.size() < count && !deadline.hasExpired()) {
            pollfd state = {master, POLLIN, 0};
            if (::poll(&state, 1, 50) > 0)
                received.append(chunk, std::max<ssize_t>(0, ::read(master, chunk, sizeof chunk)));
        }
        return received;
    }
    // Bytes in the driver's receive queue on the device side, seen through
    // our own descriptor so the device under test is not touched.
    int waitingInDriver() const
    {
        int count = 0;
        ::ioctl(slave, FIONREAD, &count);
        return count;
    }
    // Blocks without running the event loop, as the link's sleeps do.
    bool sleepUntilDriverHolds(int count) const
    {
        const QDeadlineTimer deadline(PatienceMs);
        while (waitingInDriver() != count && !deadline.hasExpired())
            QThread::msleep(2);
        return waitingInDriver() == count;
    }

    int master = -1;
    int slave = -1;
    QString slavePath;
};

LineSettings settings(const char* text)
{
    return *LineSettings::parse(QString::fromLatin1(text));
}

} // namespace

class SerialPortTest : public QObject
{
    Q_OBJECT

private slots:
    void bytesLeaveInOrderAcrossParityChanges()
    {
        PseudoTerminal pty;
        QVERIFY(!pty.slavePath.isEmpty());
        QStringList warned;
        SystemDeviceProvider provider([&](const QString& device) { warned << device; });
        provider.mapDevice(1, pty.slavePath);
        CommPort port(provider);
        port.setSettings(QStringLiteral("19200,m,8,1"));
        port.setPortOpen(true);

        // Frames as the link sends them, with no pause before a parity
        // change, and a record holding bytes a terminal would interpret.
        const QByteArray record(":10\r\n\x11\x13\x03\x04\x7F\xFF\x0D\x0A", 14);
        const QList<std::pair<const char*, QByteArray>> frames = {
            {"19200,m,8,1", QByteArray("\x81\x10", 2)},
            {"19200,s,8,1", QByteArray("\x00", 1)},
            {"19200,m,8,1", QByteArray("\xFF\x11", 2)},
            {"19200,s,8,1", record}};
        QByteArray expected;
        for (const auto& [parity, bytes] : frames) {
            port.setSettings(QString::fromLatin1(parity));
            port.output(bytes);
            expected += bytes;
        }
        QCOMPARE(pty.receive(expected.size()), expected);
        QVERIFY2(warned.isEmpty(), "a pseudo-terminal carries no parity and is not warned about");
    }

    void lostMarkSpaceParityIsReportedOncePerDevice()
    {
        PseudoTerminal pty;
        QStringList warned;
        SystemDeviceProvider provider([&](const QString& device) { warned << device; });
        provider.setPseudoTerminalsExempt(false); // a pty drops parity, like a faulty adapter
        provider.mapDevice(2, pty.slavePath);
        CommPort port(provider);
        port.setCommPort(2);
        port.setPortOpen(true); // 9600,n,8,1: nothing to address yet
        QVERIFY(warned.isEmpty());

        port.setSettings(QStringLiteral("19200,m,8,1"));
        port.setSettings(QStringLiteral("19200,s,8,1"));
        port.setPortOpen(false);
        port.setPortOpen(true);
        port.setSettings(QStringLiteral("19200,m,8,1"));
        QCOMPARE(warned, QStringList{pty.slavePath});
    }

    void receivedBytesAreSeenWithoutTheEventLoop()
    {
        PseudoTerminal pty;
        QtSerialDevice device(pty.slavePath);
        device.apply(settings("19200,s,8,1"));

        QVERIFY(pty.send(QByteArray("R\x00\xFF", 3)));
        QVERIFY(pty.sleepUntilDriverHolds(3));
        QCOMPARE(device.bytesWaiting(), 3);
        QCOMPARE(device.readAll(), QByteArray("R\x00\xFF", 3));
        QCOMPARE(device.bytesWaiting(), 0);

        // Some bytes taken in by the event loop, more still in the driver.
        QVERIFY(pty.send("12"));
        QVERIFY(pty.sleepUntilDriverHolds(2));
        const QDeadlineTimer deadline(PatienceMs);
        while (pty.waitingInDriver() != 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QVERIFY(pty.send("345"));
        QVERIFY(pty.sleepUntilDriverHolds(3));
        QCOMPARE(device.bytesWaiting(), 5);

        // Discarding empties both buffers.
        QVERIFY(pty.send("678"));
        QVERIFY(pty.sleepUntilDriverHolds(3));
        device.discardInput();
        QCOMPARE(pty.waitingInDriver(), 0);
        QCOMPARE(device.bytesWaiting(), 0);
    }

    void vanishedDeviceThrowsRuntimeError_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char* operation : {"open", "count", "read", "write", "settings", "idle+count"})
            QTest::newRow(operation) << QString::fromLatin1(operation);
    }

    void vanishedDeviceThrowsRuntimeError()
    {
        QFETCH(QString, operation);
        PseudoTerminal pty;
        SystemDeviceProvider provider;
        provider.mapDevice(1, pty.slavePath);
        provider.mapDevice(2, QStringLiteral("/dev/quorlink-no-such-device"));
        CommPort port(provider);
        try {
            if (operation == QLatin1String("open")) {
                port.setCommPort(2);
                port.setPortOpen(true);
            }
            port.setPortOpen(true);
            pty.closeMaster();                            // the adapter is unplugged
            if (operation == QLatin1String("idle+count")) // the event loop meets it first
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (operation.endsWith(QLatin1String("count")))
                port.inBufferCount();
            else if (operation == QLatin1String("read"))
                port.input();
            else if (operation == QLatin1String("write"))
                port.output("A");
            else
                port.setSettings(QStringLiteral("19200,m,8,1"));
            QFAIL("no error from a vanished device");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.code(), int(RuntimeError::DeviceUnavailable));
        }
        QVERIFY2(!port.portOpen(), "a vanished device leaves the port closed");
    }

    void secondOpenOfADeviceFails()
    {
        PseudoTerminal pty;
        SystemDeviceProvider provider;
        provider.mapDevice(1, pty.slavePath);
        provider.mapDevice(3, pty.slavePath);
        auto first = provider.open(1, settings("9600,n,8,1"));
        try {
            provider.open(3, settings("9600,n,8,1"));
            QFAIL("the device was opened twice");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.code(), int(RuntimeError::PortAlreadyOpen));
        }
        first.reset();
        QVERIFY(provider.open(3, settings("9600,n,8,1")));
    }

    void comMappingValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("comNumber"); // 0: rejected
        QTest::addColumn<QString>("device");
        QTest::newRow("usb adapter") << "1=/dev/ttyUSB0" << 1 << "/dev/ttyUSB0";
        QTest::newRow("spaces, '=' in the device") << " 4 = /dev/a=b " << 4 << "/dev/a=b";
        QTest::newRow("no '='") << "1" << 0 << "";
        QTest::newRow("no device") << "3=" << 0 << "";
        QTest::newRow("COM0") << "0=/dev/ttyS0" << 0 << "";
        QTest::newRow("COM5") << "5=/dev/ttyS4" << 0 << "";
        QTest::newRow("not a number") << "COM1=/dev/ttyS0" << 0 << "";
    }

    void comMappingValues()
    {
        QFETCH(QString, value);
        QFETCH(int, comNumber);
        QFETCH(QString, device);
        const ComMapping mapping = parseComMapping(value);
        QCOMPARE(mapping.comNumber, comNumber);
        QCOMPARE(mapping.device, device);
        QCOMPARE(mapping.error.isEmpty(), comNumber != 0);
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "tst_serialport.moc"
