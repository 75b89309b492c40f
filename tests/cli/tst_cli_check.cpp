#include "firmwaremaker.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace maker = quorlink::firmware::maker;

// `quorlink check` through the real program: exit codes and the JSON report.
class CliCheckTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& contents)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    static Run run(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(QUORLINK_CLI), arguments);
        if (!process.waitForFinished(30000))
            qFatal("quorlink did not finish");
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

private slots:
    void checkReportsFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QJsonObject>("report");

        maker::FirmwareMaker firmwareMaker(5);
        const QByteArray remote =
            firmwareMaker.remoteFile(maker::makeImage(0x2000, 320, "QLREM ver1.07 US", 5));
        QTest::newRow("good remote file")
            << write(QStringLiteral("qdx_rem107_e.hex"), remote) << 0
            << QJsonObject{{"ok", true},       {"message", QJsonValue()},
                           {"records", 12},    {"version", "QLREM ver1.07 US"},
                           {"language", "US"}, {"kind", "remote"}};
        // Name marked in capitals: still a management card file.
        QTest::newRow("good management file")
            << write(QStringLiteral("QDX_MGT231E.HEX"),
                     firmwareMaker.managerFile(maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 6),
                                               maker::makeImage(0x2000, 64, "QLMGR ver2.31 DE", 7)))
            << 0 << QJsonObject{{"ok", true},       {"message", QJsonValue()},
                                {"records", 8},     {"version", "QLMGR ver2.31 DE"},
                                {"language", "DE"}, {"kind", "manager"}};
        QByteArray damaged = remote;
        damaged[100] = damaged[100] == '0' ? '1' : '0';
        QTest::newRow("damaged record")
            << write(QStringLiteral("qdx_rem_bad_e.hex"), damaged) << 3
            << QJsonObject{{"ok", false},    {"message", "File is in wrong hex format!"},
                           {"records", 2},   {"version", ""},
                           {"language", ""}, {"kind", "remote"}};
        QTest::newRow("remote file named as management file")
            << write(QStringLiteral("qdx_mgt_rem_e.hex"), remote) << 3
            << QJsonObject{{"ok", false},      {"message", "File is in wrong hex format"},
                           {"records", 12},    {"version", "QLREM ver1.07 US"},
                           {"language", "US"}, {"kind", "manager"}};
        const QString missing = m_dir.filePath(QStringLiteral("qdx_rem_gone_e.hex"));
        QTest::newRow("missing file")
            << missing << 3 << QJsonObject{{"ok", false},    {"message", "Cannot read " + missing},
                                           {"records", 0},   {"version", ""},
                                           {"language", ""}, {"kind", "remote"}};
    }
    void checkReportsFiles()
    {
        QFETCH(QString, path);
        QFETCH(int, exitCode);
        QFETCH(QJsonObject, report);

        const Run json = run({QStringLiteral("check"), path, QStringLiteral("--json")});
        QCOMPARE(json.exitCode, exitCode);
        QVERIFY(json.out.endsWith('\n'));
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(json.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(document.object(), report);

        const Run text = run({QStringLiteral("check"), path});
        QCOMPARE(text.exitCode, exitCode);
        QVERIFY(text.out.contains(report.value("version").toString().toLatin1()));
        if (!report.value("ok").toBool())
            QVERIFY(text.out.contains(report.value("message").toString().toLatin1()));
    }

    void wrongArgumentsGiveTheUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("check without a file") << QStringList{"check", "--json"};
        QTest::newRow("check with two files") << QStringList{"check", "a.hex", "b.hex"};
        QTest::newRow("unknown option") << QStringList{"check", "a.hex", "--xml"};
    }
    void wrongArgumentsGiveTheUsage()
    {
        QFETCH(QStringList, arguments);
        const Run result = run(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.out.isEmpty());
        QVERIFY(result.err.contains("usage: quorlink"));
    }
};

QTEST_GUILESS_MAIN(CliCheckTest)
#include "tst_cli_check.moc"
