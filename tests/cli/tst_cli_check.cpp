#include "firmwaremaker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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

    static QByteArray readAll(QFile& file)
    {
        if (!file.open(QIODevice::ReadOnly))
            return "<cannot read>";
        const QByteArray contents = file.readAll();
        file.close();
        return contents;
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
                          R"("records":12,"sample":false,"version":"QLREM ver1.07 US"})");
        // Name marked in capitals: still a management card file.
        const QString manager =
            write(QStringLiteral("QDX_MGT231E.HEX"),
                  firmwareMaker.managerFile(maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 6),
                                            maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 7)));
        QTest::newRow("good management file")
            << QStringList{"check", "--json", manager} << 0
            << QByteArray(R"({"kind":"manager","language":"DE","message":null,"ok":true,)"
                          R"("records":8,"sample":false,"version":"QLMGR ver2.31 DE"})");
        // The samples for the simulated switch are told by the mark inside.
        maker::Image marked = maker::makeImage(0x2000, 320, "QLREM ver1.08 US", 8);
        maker::markAsSample(marked, "QLREM ver1.08 US");
        const QString sample =
            write(QStringLiteral("qdx_rem108_e.hex"), firmwareMaker.remoteFile(marked));
        QTest::newRow("sample file")
            << QStringList{"check", sample, "--json"} << 0
            << QByteArray(R"({"kind":"remote","language":"US","message":null,"ok":true,)"
                          R"("records":13,"sample":true,"version":"QLREM ver1.08 US"})");
        QTest::newRow("sample file as text")
            << QStringList{"check", sample} << 0
            << QByteArray("  sample:   made up for the simulated switch; not sent to a real one\n");
        remote[100] = remote[100] == '0' ? '1' : '0';
        const QString damaged = write(QStringLiteral("qdx_rem_bad_e.hex"), remote);
        QTest::newRow("damaged record")
            << QStringList{"check", damaged, "--json"} << 3
            << QByteArray(R"({"kind":"remote","language":"","message":"File is in wrong hex )"
                          R"(format!","ok":false,"records":2,"sample":false,"version":""})");
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

    // Damaged firmware files: each is refused with the window's message and
    // left exactly as it was.
    void damagedFilesAreRefusedAndLeftAsTheyWere_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("message"); // the window's title: text
        maker::FirmwareMaker firmwareMaker(9);
        const QByteArray good =
            firmwareMaker.remoteFile(maker::makeImage(0x2000, 320, "QLREM ver1.07 US", 9));
        const QByteArray hexFormat("File Error: File is in wrong hex format\n");
        const QByteArray checksum("File Error: File is in wrong hex format!\n");
        QByteArray wrongChecksum = good;
        wrongChecksum[79 + 20] = wrongChecksum[79 + 20] == '0' ? '1' : '0';
        QByteArray binary;
        for (int i = 0; i < 4000; ++i)
            binary += char((i * 131 + 7) % 256);
        const QByteArray endRecord(":00000001FF\r\n");
        // Its end record padded to a whole 79-byte slot.
        const QByteArray paddedEnd = good.left(good.size() - endRecord.size()) + ":00000001FF"
                                     + QByteArray(66, '0') + "\r\n";
        const QList<std::tuple<const char*, QByteArray, QByteArray>> files{
            {"truncated in a record", good.left(200), checksum},
            {"truncated at a record's end", good.left(2 * 79), hexFormat},
            {"binary", binary, checksum},
            {"wrong checksum", wrongChecksum, checksum},
            {"one huge line", QByteArray(1 << 20, 'A'), checksum},
            {"empty", QByteArray(), hexFormat},
            {"only the end record", endRecord, hexFormat},
            {"end record padded to a slot", paddedEnd, hexFormat},
        };
        int number = 0;
        for (const auto& [row, contents, message] : files) {
            const QString name = QStringLiteral("qdx_rem_damaged%1_e.hex").arg(++number);
            QTest::newRow(row) << write(name, contents) << message;
        }
        const QString folder = m_dir.filePath(QStringLiteral("qdx_rem_folder_e.hex"));
        QDir().mkdir(folder);
        QTest::newRow("a folder") << folder
                                  << "Disk Drive Error: Cannot read " + folder.toUtf8() + "\n";
        // Nothing ever writes to it: opening it to read would wait for ever.
        const QString pipe = m_dir.filePath(QStringLiteral("qdx_rem_pipe_e.hex"));
        if (::mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0)
            qFatal("cannot make the pipe %s", qPrintable(pipe));
        QTest::newRow("a named pipe") << pipe
                                      << "Disk Drive Error: Cannot read " + pipe.toUtf8() + "\n";
    }
    void damagedFilesAreRefusedAndLeftAsTheyWere()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, message);
        const QFileInfo before(path);
        QFile file(path);
        const QByteArray contents = before.isFile() ? readAll(file) : QByteArray();

        QProcess process;
        process.start(QStringLiteral(QUORLINK_CLI), {QStringLiteral("check"), path});
        QVERIFY(process.waitForFinished(10000)); // a file that blocks must fail, not hang
        QCOMPARE(process.exitCode(), 3);
        QVERIFY2(process.readAllStandardOutput().contains("  " + message), message);

        const QFileInfo after(path);
        QCOMPARE(after.lastModified(), before.lastModified());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.isFile() ? readAll(file) : QByteArray(), contents);
    }
};

QTEST_GUILESS_MAIN(CliCheckTest)
#include "tst_cli_check.moc"
