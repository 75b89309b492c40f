#include "firmwaremaker.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace maker = quorlink::firmware::maker;

// `quorlink check` through the real program: exit codes, the JSON report, the text report and
// the usage on wrong arguments.
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
    // `expected` is what the output holds: the compact JSON report (keys in order), a line of
    // the text report, or the usage on standard error.
    void check_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("expected");
        maker::FirmwareMaker firmwareMaker(5);
        QByteArray remote =
            firmwareMaker.remoteFile(maker::makeImage(0x2000, 320, "QLREM ver1.07 US", 5));
        const QString good = write(QStringLiteral("qdx_rem107_e.hex"), remote);
        QTest::newRow("good remote file")
            << QStringList{"check", good, "--json"} << 0
            << QByteArray(R"({"kind":"remote","language":"US","message":null,"ok":true,)"
                          R"("records":12,"version":"QLREM ver1.07 US"})");
        // Name marked in capitals: still a management card file.
        const QString manager =
            write(QStringLiteral("QDX_MGT231E.HEX"),
                  firmwareMaker.managerFile(maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 6),
                                            maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 7)));
        QTest::newRow("good management file")
            << QStringList{"check", "--json", manager} << 0
            << QByteArray(R"({"kind":"manager","language":"DE","message":null,"ok":true,)"
                          R"("records":8,"version":"QLMGR ver2.31 DE"})");
        remote[100] = remote[100] == '0' ? '1' : '0';
        const QString damaged = write(QStringLiteral("qdx_rem_bad_e.hex"), remote);
        QTest::newRow("damaged record")
            << QStringList{"check", damaged, "--json"} << 3
            << QByteArray(R"({"kind":"remote","language":"","message":"File is in wrong hex )"
                          R"(format!","ok":false,"records":2,"version":""})");
        QTest::newRow("damaged file as text")
            << QStringList{"check", damaged} << 3 << QByteArray("File is in wrong hex format!");

        QTest::newRow("help") << QStringList{"check", "--help"} << 0 << QByteArray("3  file error");
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << QByteArray("quorlink " QUORLINK_VERSION "\n");

        // Wrong arguments: the reason in one line on standard error.
        QTest::newRow("nothing") << QStringList{} << 2 << QByteArray("usage: quorlink");
        QTest::newRow("unknown command")
            << QStringList{"frobnicate"} << 2
            << QByteArray("quorlink: unknown command \"frobnicate\" (quorlink --help)\n");
        QTest::newRow("check without a file")
            << QStringList{"check", "--json"} << 2
            << QByteArray("quorlink check: which file? (quorlink check --help)\n");
        QTest::newRow("check with two files")
            << QStringList{"check", "a.hex", "b.hex"} << 2
            << QByteArray("quorlink check: unexpected argument \"b.hex\" (quorlink check "
                          "--help)\n");
        QTest::newRow("unknown option")
            << QStringList{"check", "a.hex", "--xml"} << 2
            << QByteArray("quorlink check: Unknown option 'xml'. (quorlink check --help)\n");
    }
    void check()
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
        if (exitCode == 2 && !arguments.isEmpty())
            QCOMPARE(err, expected);
        else
            QVERIFY((exitCode == 2 ? err : out).contains(expected));
        QCOMPARE(out.isEmpty(), exitCode == 2);
    }
};

QTEST_GUILESS_MAIN(CliCheckTest)
#include "tst_cli_check.moc"
