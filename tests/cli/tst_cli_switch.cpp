#include "cli/command.h"
#include "firmwaremaker.h"
#include "link/link.h"
#include "operationfixture.h"
#include "ptysimulator.h"

#include <QJsonObject>
#include <QTest>
#include <QTextStream>

using namespace quorlink;
using test::PtySimulator;

namespace {

namespace maker = firmware::maker;

// Stand for the simulator's device and the test's firmware files in a row's
// arguments.
const QString Device = QStringLiteral("DEVICE");
const QString RemoteFile = QStringLiteral("REMOTEFILE");
const QString ManagerFile = QStringLiteral("MANAGERFILE");
const QString NewRemote = QStringLiteral("QLREM ver1.10 US");

// A remote card file of `version` in `folder`, and the image a card must
// receive from it: every record as stored, the end record last. It is marked
// as a sample, as every file the tests send to a simulator could be.
QStringList writeRemoteFile(const QString& path, const QString& version)
{
    maker::FirmwareMaker fileMaker(31);
    maker::Image image = maker::makeImage(0x2000, 300, version, 31);
    maker::markAsSample(image, version);
    QStringList records = fileMaker.remoteRecordTexts(image);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(fileMaker.fileContents(records));
    records.last() = QString(link::protocol::EndRecord);
    return records;
}

void writeManagerFile(const QString& path, const QString& version)
{
    maker::FirmwareMaker fileMaker(32);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(fileMaker.managerFile(maker::makeImage(0x2000, 200, version, 32),
                                     maker::makeImage(0x3000, 100, {}, 33)));
}

// A row's expected JSON: COMMS stands for the communication error's text.
QJsonObject expectedJson(const QString& text)
{
    QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    if (object.value(QLatin1String("message")) == QLatin1String("COMMS"))
        object["message"] = QString(link::Link::communicationErrorText()).replace("\r\n", "\n");
    return object;
}

// What the cards received, as "3:r1 5:r1 9:i1" (resets and images per card).
QString receivedText(const QJsonArray& cards)
{
    QStringList entries;
    for (const QJsonValue& card : cards) {
        entries << QStringLiteral("%1:r%2i%3")
                       .arg(card["card"].toInt())
                       .arg(card["resets"].toInt())
                       .arg(card["images"].toArray().size());
    }
    return entries.join(QLatin1Char(' '));
}

// Every byte on the line, both ways, with the PC's parity and the time since
// `start`.
QStringList lineText(const sim::SwitchTrace& trace, std::int64_t start)
{
    QStringList lines;
    for (sim::TraceEntry entry : trace.entries()) {
        entry.time -= start;
        lines << sim::describe(entry);
    }
    return lines;
}

} // namespace

// The switch commands of the tool against the simulated switch on a real
// serial device, and against the window.
class CliSwitchTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    QStringList m_remoteImage;

    QString remoteFilePath() const { return m_files.filePath(QStringLiteral("qdx_rem110_e.hex")); }
    QString managerFilePath() const
    {
        return m_files.filePath(QStringLiteral("qdx_mgt232_de_e.hex"));
    }

    // The tool's exit code and standard output (JSON, or the exact text).
    static void runTool(const QStringList& arguments, int exitCode, const QString& output,
                        QByteArray& err)
    {
        QProcess tool;
        tool.start(QStringLiteral(QUORLINK_CLI), arguments);
        QVERIFY(tool.waitForFinished(60000));
        const QByteArray out = tool.readAllStandardOutput();
        err = tool.readAllStandardError();
        QVERIFY2(tool.exitCode() == exitCode, err.constData());
        if (output.startsWith(u'{')) {
            QCOMPARE(QJsonDocument::fromJson(out).object(), expectedJson(output));
            QCOMPARE(out.count('\n'), 1);
        } else {
            QCOMPARE(QString::fromUtf8(out), output);
        }
    }

    // What the simulator's cards report at its end; each card that took an
    // image has the file's records, in order.
    void verifyReceived(const QJsonArray& cards, const QString& received) const
    {
        QCOMPARE(receivedText(cards), received);
        for (const QJsonValue& card : cards) {
            for (const QJsonValue& image : card["images"].toArray())
                QCOMPARE(image.toVariant().toStringList(), m_remoteImage);
        }
    }

private slots:
    void initTestCase()
    {
        m_remoteImage = writeRemoteFile(remoteFilePath(), NewRemote);
        writeManagerFile(managerFilePath(), QStringLiteral("QLMGR ver2.32 DE"));
    }

    // `received` is what the simulator's cards report at its end.
    void commandsOverASerialDevice_data()
    {
        QTest::addColumn<QStringList>("switchOptions"); // empty: no simulator
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // JSON, or the exact text
        QTest::addColumn<QString>("received");

        QTest::newRow("versions: a silent card stops the run")
            << QStringList{"--cards", "2-6", "--silent", "4", "--not-responding", "3"}
            << QStringList{"versions", "--device", Device, "--cards", "2-6", "--json"} << 1
            << R"({"ok":false,"message":"COMMS","cards":[
                  {"card":2,"version":"QLREM ver1.07 US","status":"ok"},
                  {"card":3,"version":null,"status":"not responding"},
                  {"card":4,"version":null,"status":"no reply"},
                  {"card":5,"version":null,"status":"not queried"},
                  {"card":6,"version":null,"status":"not queried"}]})"
            << QString();
        QTest::newRow("reset: all remote cards")
            << QStringList{"--cards", "2-4"}
            << QStringList{"reset", "--device", Device, "--cards", "all"} << 0
            << "Reset completed: card(s) 2-64\n"
            << "2:r1i0 3:r1i0 4:r1i0";
        QTest::newRow("update: three cards as a group, read back")
            << QStringList{"--cards", "2-6"}
            << QStringList{"update",  RemoteFile, "--device", Device,
                           "--cards", "2,3,5",    "--yes",    "--json"}
            << 0 << R"({"ok":true,"message":null,"target":128,"before":[
                  {"card":2,"version":"QLREM ver1.07 US","status":"ok"},
                  {"card":3,"version":"QLREM ver1.07 US","status":"ok"},
                  {"card":5,"version":"QLREM ver1.07 US","status":"ok"}],"after":[
                  {"card":2,"version":"QLREM ver1.10 US","status":"ok","matches_file":true},
                  {"card":3,"version":"QLREM ver1.10 US","status":"ok","matches_file":true},
                  {"card":5,"version":"QLREM ver1.10 US","status":"ok","matches_file":true}]})"
            << "2:r0i1 3:r0i1 5:r0i1";
        QTest::newRow("update: the OSD language question refused without a terminal")
            << QStringList{"--cards", "2-6"}
            << QStringList{"update", ManagerFile, "--device", Device, "--cards", "1", "--json"} << 2
            << R"({"ok":false,
                  "message":"the OSD language would change: answer on a terminal or give --yes",
                  "target":0,"before":[{"card":1,"version":"QLMGR ver2.31 US","status":"ok"}],
                  "after":[]})"
            << QString();
        QTest::newRow("versions: a device that is not there")
            << QStringList{}
            << QStringList{"versions", "--device", "/dev/quorlink-none", "--cards", "2", "--json"}
            << 1 << R"({"ok":false,
                  "message":"/dev/quorlink-none: open failed: No such file or directory",
                  "cards":[{"card":2,"version":null,"status":"not queried"}]})"
            << QString();
    }
    void commandsOverASerialDevice()
    {
        QFETCH(QStringList, switchOptions);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, received);
        PtySimulator simulator;
        if (!switchOptions.isEmpty()) {
            // Replies at once: what is tested is the tool, not the wire's pace.
            QVERIFY(simulator.start(switchOptions + QStringList{"--instant"}));
            arguments.replaceInStrings(Device, simulator.path);
        }
        arguments.replaceInStrings(RemoteFile, remoteFilePath());
        arguments.replaceInStrings(ManagerFile, managerFilePath());
        const QString trace = simulator.dir.filePath(QStringLiteral("trace.txt"));

        QByteArray err;
        runTool(arguments + QStringList{"--trace", trace}, exitCode, output, err);
        if (QTest::currentTestFailed())
            return;
        // Not a terminal: no progress, only the messages.
        QVERIFY2(!err.contains("Status:"), err.constData());
        QCOMPARE(err.contains("Communication Error"), output.contains("COMMS"));
        // The traffic is traced for support.
        QFile traced(trace);
        QVERIFY(traced.open(QIODevice::ReadOnly));
        QCOMPARE(traced.readAll().contains(" out mark "), !switchOptions.isEmpty());
        if (switchOptions.isEmpty())
            return;
        verifyReceived(simulator.stop(), received);
    }

    // Several switches at once, each behind its own simulator: DEVICE1 to
    // DEVICE3 in the arguments and the output stand for their devices.
    void severalSwitchesSideBySide_data()
    {
        QTest::addColumn<QList<QStringList>>("switches"); // each simulator's options
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // JSON, or the exact text
        QTest::addColumn<QStringList>("received"); // per switch

        const QString before = R"([{"card":2,"version":"QLREM ver1.07 US","status":"ok"},
                                   {"card":3,"version":"QLREM ver1.07 US","status":"ok"}])";
        const QString after =
            R"([{"card":2,"version":"QLREM ver1.10 US","status":"ok","matches_file":true},
                {"card":3,"version":"QLREM ver1.10 US","status":"ok","matches_file":true}])";
        const QString updated =
            QStringLiteral(R"({"ok":true,"message":null,"target":128,"before":%1,"after":%2)")
                .arg(before, after);
        // The middle switch's cards abort the download: the other two are
        // updated regardless, and the highest exit code is the tool's.
        QTest::newRow("update: one of three fails mid-download")
            << QList<QStringList>{{"--cards", "2-4"},
                                  {"--cards", "2-4", "--abort-record", "2"},
                                  {"--cards", "2-4"}}
            << QStringList{"update", RemoteFile, "--device", "DEVICE1", "--device", "DEVICE2",
                           "--device", "DEVICE3", "--cards", "2,3", "--yes", "--json"}
            << 1
            << QStringLiteral(R"({"ok":false,"switches":[%1,"device":"DEVICE1"},
                   {"ok":false,"message":"Verification Error","target":128,"before":%2,
                    "after":[],"device":"DEVICE2"},
                   %1,"device":"DEVICE3"}]})")
                   .arg(updated, before)
            << QStringList{"2:r0i1 3:r0i1", "", "2:r0i1 3:r0i1"};
        // Nobody to confirm: every switch refuses, none is written to.
        QTest::newRow("update: the confirmation refused for all")
            << QList<QStringList>{{"--cards", "2-4"}, {"--cards", "2-4"}}
            << QStringList{"update", RemoteFile, "--device", "DEVICE1", "--device", "DEVICE2",
                           "--cards", "2,3", "--json"}
            << 2
            << QStringLiteral(R"({"ok":false,"switches":[
                   {"ok":false,"target":0,"before":%1,"after":[],"device":"DEVICE1",
                    "message":"no confirmation: confirm on a terminal or give --yes"},
                   {"ok":false,"target":0,"before":%1,"after":[],"device":"DEVICE2",
                    "message":"no confirmation: confirm on a terminal or give --yes"}]})")
                   .arg(before)
            << QStringList{"", ""};
    }
    void severalSwitchesSideBySide()
    {
        QFETCH(QList<QStringList>, switches);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QStringList, received);
        // Each simulator keeps the wire's pace, so that the downloads overlap.
        std::vector<std::unique_ptr<PtySimulator>> simulators;
        for (const QStringList& options : switches) {
            simulators.push_back(std::make_unique<PtySimulator>());
            QVERIFY(simulators.back()->start(options));
            const QString name = QStringLiteral("DEVICE%1").arg(simulators.size());
            arguments.replaceInStrings(name, simulators.back()->path);
            output.replace(name, simulators.back()->path);
        }
        arguments.replaceInStrings(RemoteFile, remoteFilePath());
        const QString trace = simulators.front()->dir.filePath(QStringLiteral("trace.txt"));

        QByteArray err;
        runTool(arguments + QStringList{"--trace", trace}, exitCode, output, err);
        if (QTest::currentTestFailed())
            return;
        // One trace per switch, numbered in the order given.
        for (std::size_t i = 1; i <= simulators.size(); ++i) {
            QFile traced(QStringLiteral("%1.%2").arg(trace).arg(i));
            QVERIFY(traced.open(QIODevice::ReadOnly));
            QVERIFY(traced.readAll().contains(" out mark "));
        }
        // The confirmation is put once, for all (and without --yes not at all).
        QVERIFY2(err.count("(Y/N)?") == (arguments.contains("--yes") ? 1 : 0), err.constData());
        for (std::size_t i = 0; i < simulators.size(); ++i)
            verifyReceived(simulators[i]->stop(), received[static_cast<qsizetype>(i)]);
    }
    // One core, two faces: an update of the same cards puts the same traffic
    // on the line from the tool and from the window (the same bytes with the
    // same parity at the same moments from the start of the command), which
    // takes in the version run, the download and the read-back.
    void toolAndWindowAgreeOnTheLine()
    {
        const QList<int> cards{3, 17, 40};
        sim::VirtualClock clock;
        sim::SimulatedSwitch switchBox(clock);
        for (int card = 1; card <= 64; ++card) {
            switchBox.card(card)
                .setFirmwareVersion(QStringLiteral("FW%1").arg(card))
                .setHardwareVersion(QStringLiteral("HW%1").arg(card));
        }
        sim::SimulatedDeviceProvider devices(switchBox, 1);
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        cli::Streams streams{outStream, errStream, {&clock, &devices}};
        QVERIFY2(cli::runCommandLine({"update", remoteFilePath(), "--cards", "3,17,40", "--yes"},
                                     streams) == 0,
                 qPrintable(err));

        test::OperationWindow window;
        for (const int card : cards) {
            const auto [index, row] = window.placeOf(card);
            window.choose(index, row);
        }
        window.prompts.scriptFile(remoteFilePath());
        window.window().controls().mnuOpen->trigger();
        const std::int64_t start = window.clock.nowMicroseconds();
        const test::VersionDialogAnswer ok(true);
        window.pressButton(app::ToolbarButton::Start);

        QVERIFY(!switchBox.trace().entries().empty());
        QCOMPARE(lineText(window.simulatedSwitch.trace(), start), lineText(switchBox.trace(), 0));
    }
};

QTEST_MAIN(CliSwitchTest)
#include "tst_cli_switch.moc"
