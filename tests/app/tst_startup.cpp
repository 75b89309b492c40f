#include "app/mainform.h"
#include "platform/settingsfile.h"
#include "app/twips.h"
#include "link/protocol.h"
#include "recordingprompts.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>


using namespace quorlink;
using app::MainForm;
using quorlink::SettingsFile;
using sim::SimulatedDevice;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A main window on a simulated machine: the switch on COM1, the other
// ports as each test sets them, a fresh system directory.
struct Machine
{
    QTemporaryDir systemDirectory;
    sim::VirtualClock clock;
    sim::SimulatedSwitch switchBox{clock};
    sim::SimulatedDeviceProvider devices{switchBox, 1};
    test::RecordingPrompts prompts;
    link::Session session{clock, prompts, devices};
    std::unique_ptr<MainForm> form;

    QString settingsPath() const { return SettingsFile::pathIn(systemDirectory.path()); }

    MainForm& start()
    {
        form = std::make_unique<MainForm>(app::MainFormServices{session, systemDirectory.path()});
        form->Form_Initialize();
        form->Form_Load();
        return *form;
    }
};

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    // The saved position inside the screen is restored; a damaged settings
    // file meets the defaults. COM1 is used and the file is not touched at
    // start-up.
    void settingsFilesPlaceTheWindowAndAreLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content"); // "<folder>": a folder in its place
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::newRow("saved position")
            << QByteArray("Left = 1500\r\nTop = 900\r\nCom = 1\r\n") << 1500.0 << 900.0;
        QTest::newRow("minimised")
            << QByteArray("Left = -48000\r\nTop = -48000\r\nCom = 1\r\n") << 100.0 << 100.0;
        QTest::newRow("beyond the right edge")
            << QByteArray("Left = 99999999\r\nTop = 300\r\nCom = 1\r\n") << 100.0 << 300.0;
        QTest::newRow("not numbers")
            << QByteArray("Left = nan\r\nTop = 1e999\r\nCom = four\r\n") << 100.0 << 100.0;
        QTest::newRow("a folder in its place") << QByteArray("<folder>") << 100.0 << 100.0;
    }
    void settingsFilesPlaceTheWindowAndAreLeftAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(double, left);
        QFETCH(double, top);
        Machine machine;
        const QString path = machine.settingsPath();
        if (content == "<folder>")
            QVERIFY(QDir().mkdir(path));
        else
            writeRaw(path, content);
        MainForm& form = machine.start();
        QCOMPARE(form.leftTwips(), left);
        QCOMPARE(form.topTwips(), top);
        QCOMPARE(form.ports().number, 1);
        QVERIFY(machine.session.port().portOpen());
        if (content == "<folder>")
            QVERIFY(QFileInfo(path).isDir());
        else
            QCOMPARE(readAll(path), content);
        // Exit still ends the program where the file cannot be written.
        form.close();
        QVERIFY(!form.isVisible());
        QVERIFY(!machine.session.port().portOpen());
    }

    // COM1 answers like a modem, COM2 is missing, COM3 carries the switch and
    // COM4 a silent device. A saved busy or unusable port falls back to the
    // first free one.
    void probeCountsAnsweringAndUnopenablePortsAsBusy_data()
    {
        QTest::addColumn<QByteArray>("comLine");
        QTest::addColumn<int>("expected");
        QTest::newRow("saved port busy") << QByteArray("Com = 1") << 3;
        QTest::newRow("saved free port") << QByteArray("Com = 4") << 4;
        QTest::newRow("above four") << QByteArray("Com = 9") << 3;
    }
    void probeCountsAnsweringAndUnopenablePortsAsBusy()
    {
        QFETCH(QByteArray, comLine);
        QFETCH(int, expected);
        Machine machine;
        machine.devices.setDevice(1, SimulatedDevice::Modem);
        machine.devices.setDevice(2, SimulatedDevice::Missing);
        machine.devices.setDevice(3, SimulatedDevice::Switch);
        machine.devices.setDevice(4, SimulatedDevice::Silent);
        writeRaw(machine.settingsPath(), "Left = 100\r\nTop = 100\r\n" + comLine + "\r\n");
        MainForm& form = machine.start();

        QCOMPARE(form.ports().busy, (std::array<bool, 4>{true, true, false, false}));
        // Each free port listens for exactly one second; the modem answers at once.
        QVERIFY(machine.clock.nowMilliseconds() >= 2000);
        QVERIFY(machine.clock.nowMilliseconds() < 2100);
        QCOMPARE(form.ports().number, expected);
        QCOMPARE(machine.session.port().commPort(), expected);
        QCOMPARE(machine.session.port().settings(), QString(link::protocol::DataSettings));
        QVERIFY(machine.prompts.entries().empty());
        form.close();
        QCOMPARE(readAll(machine.settingsPath()),
                 "Left = 100\r\nTop = 100\r\nCom = " + QByteArray::number(expected) + "\r\n");
    }

    void noFreePortIsReportedOnceAndComOneIsSaved()
    {
        Machine machine;
        machine.devices.setDevice(1, SimulatedDevice::Modem);
        machine.devices.setHeld(2, true);
        MainForm& form = machine.start();

        QCOMPARE(machine.prompts.log(), (QStringList{"beep", "message:System Error"}));
        const auto message = machine.prompts.messages().front();
        QCOMPARE(message.text,
                 QStringLiteral("There are no free Com Ports available in the system!"));
        QCOMPARE(message.style, 0x10010);
        QVERIFY(!machine.session.port().portOpen());
        // No settings file yet: the window stands where the defaults put it.
        QVERIFY(form.leftTwips() == 100.0 && form.topTwips() == 100.0);
        form.close();
        QVERIFY(readAll(machine.settingsPath()).endsWith("Com = 1\r\n"));
    }

};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
