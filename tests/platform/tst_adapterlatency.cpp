// A USB adapter's latency timer, through a fake sysfs tree: the tool shows
// the timer and how to lower it.

#include "cli/command.h"
#include "platform/adapterlatency.h"
#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace quorlink;

class AdapterLatencyTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_sysfs;

    // The fake tree's latency file for the pseudo-terminal's node.
    void setLatency(const test::PseudoTerminal& terminal, const QByteArray& contents)
    {
        const QString folder = m_sysfs.filePath(
            QStringLiteral("class/tty/%1/device").arg(QFileInfo(terminal.slavePath).fileName()));
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/latency_timer"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    static QString run(const QStringList& arguments)
    {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        cli::Streams streams{outStream, errStream};
        cli::runCommandLine(arguments, streams);
        return out;
    }

private slots:
    void initTestCase() { qputenv("QUORLINK_SYSFS_ROOT", m_sysfs.path().toLocal8Bit()); }

    // The timer is read through the links to the device; advice is given
    // above 2 ms, in the text and the JSON report of `ports`.
    void portsShowsTheTimerAndTheAdvice()
    {
        test::PseudoTerminal terminal;
        QCOMPARE(adapterLatencyMs(terminal.slavePath), std::nullopt);
        const QString link = m_sysfs.filePath(QStringLiteral("by-id-link"));
        QVERIFY(QFile::link(terminal.slavePath, link));
        setLatency(terminal, "16\n");
        QCOMPARE(adapterLatencyMs(link), std::optional<int>(16));
        const QString text = run({"ports", "--com", "1=" + link});
        QVERIFY2(
            text.contains(QStringLiteral("(adapter latency 16 ms)\n      The adapter holds")) &&
                text.contains(latencyTimerPath(terminal.slavePath)),
            qPrintable(text));

        setLatency(terminal, "2\n");
        const QJsonArray ports =
            QJsonDocument::fromJson(run({"ports", "--json", "--com", "1=" + terminal.slavePath,
                                         "--com", "2=/dev/quorlink-nonexistent"})
                                        .toUtf8())["ports"]
                .toArray();
        QCOMPARE(ports[0]["device"].toString(), terminal.slavePath);
        QCOMPARE(ports[0]["state"].toString(), QStringLiteral("free"));
        QCOMPARE(ports[0]["latency"].toInt(), 2);
        QVERIFY(ports[0]["advice"].isNull());
        QCOMPARE(ports[1]["state"].toString(), QStringLiteral("missing"));
    }
};

QTEST_GUILESS_MAIN(AdapterLatencyTest)
#include "tst_adapterlatency.moc"
