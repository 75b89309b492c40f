#include "firmwaremaker.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace maker = quorlink::firmware::maker;

// The tool as a process: `check` with its exit codes and reports, --help,
// --version, and the one-line reason every command gives for wrong arguments
// before it opens anything.
class CliCheckTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& contents)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

private slots:
    // `expected` is in the output: the compact JSON report (keys in order), a
    // line of the text report or, for wrong arguments, the reason on
    // standard error.
    void run_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("expected");
        maker::FirmwareMaker firmwareMaker(5);
        QByteArray remote =
            firmwareMaker.remoteFile(maker::makeImage(0x2000, 320, "QLREM ver1.07 US", 5));
        QTest::newRow("good remote file")
            << QStringList{"check", write("qdx_rem107_e.hex", remote), "--json"} << 0
            << QByteArray(R"({"kind":"remote","language":"US","message":null,"ok":true,)"
                          R"("records":12,"sample":false,"version":"QLREM ver1.07 US"})");
        // Name marked in capitals: still a management card file.
        const QString manager =
            write("QDX_MGT231E.HEX",
                  firmwareMaker.managerFile(maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 6),
                                            maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 7)));
        QTest::newRow("good management file")
            << QStringList{"check", "--json", manager} << 0
            << QByteArray(R"({"kind":"manager","language":"DE","message":null,"ok":true,)"
                          R"("records":8,"sample":false,"version":"QLMGR ver2.31 DE"})");
        // The samples for the simulated switch are told by the mark inside.
        maker::Image marked = maker::makeImage(0x2000, 320, "QLREM ver1.08 US", 8);
        maker::markAsSample(marked, "QLREM ver1.08 US");
        QTest::newRow("sample file as text")
            << QStringList{"check", write("qdx_rem108_e.hex", firmwareMaker.remoteFile(marked))}
            << 0
            << QByteArray("  sample:   made up for the simulated switch; not sent to a real one\n");
        remote[100] = remote[100] == '0' ? '1' : '0';
        QTest::newRow("damaged record")
            << QStringList{"check", write("qdx_rem_bad_e.hex", remote), "--json"} << 3
            << QByteArray(R"({"kind":"remote","language":"","message":"File is in wrong hex )"
                          R"(format!","ok":false,"records":2,"sample":false,"version":""})");
        QTest::newRow("help") << QStringList{"check", "--help"} << 0 << QByteArray("3  file error");
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << QByteArray("quorlink " QUORLINK_VERSION "\n");

        QTest::newRow("nothing") << QStringList{} << 2 << QByteArray("usage: quorlink");
        const auto wrong = [](const char* row, const QStringList& arguments, const char* reason) {
            QTest::newRow(row) << arguments << 2 << QByteArray(reason);
        };
        wrong("unknown command", {"frobnicate"},
              "quorlink: unknown command \"frobnicate\" (quorlink --help)\n");
        wrong("unknown option", {"check", "a.hex", "--xml"},
              "quorlink check: Unknown option 'xml'. (quorlink check --help)\n");
        wrong("versions without cards", {"versions", "--simulate"}, "which cards?");
        wrong("versions on COM9", {"versions", "--port", "9", "--cards", "2"},
              "COM number must be 1 to 4");
        wrong("a mapping to COM7", {"ports", "--com", "7=/dev/x"}, "COM number must be 1 to 4");
        wrong("simulated and a device",
              {"versions", "--simulate", "--device", "/dev/ttyS0", "--cards", "2"},
              "exclude each other");
        // Two sessions on one device would take each other's replies.
        wrong("the same device twice",
              {"versions", "--device", "/dev/ttyS0", "--device", "/dev/ttyS1", "--device",
               "/dev/ttyS0", "--cards", "2"},
              "\"/dev/ttyS0\" is given twice");
    }
    void run()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, expected);
        QProcess process;
        process.start(QStringLiteral(QUORLINK_CLI), arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        QVERIFY2((exitCode == 2 ? err : out).contains(expected), (out + err).constData());
        QCOMPARE(out.isEmpty(), exitCode == 2);
        if (exitCode == 2 && !arguments.isEmpty())
            QCOMPARE(err.count('\n'), 1);
    }
};

QTEST_GUILESS_MAIN(CliCheckTest)
#include "tst_cli_check.moc"
