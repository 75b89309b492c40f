// A USB adapter's latency timer, through a fake sysfs tree: the port asks the
// driver for low latency when it opens (a pseudo-terminal refuses, and is
// used as it is), and the tool shows the timer and how to lower it.

#include "cli/command.h"
#include "platform/adapterlatency.h"
#include "platform/serialports.h"
#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
        const QString folder =
            m_sysfs.filePath(QStringLiteral("class/tty/%1/device")
                                 .arg(QFileInfo(terminal.slavePath).fileName()));
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/latency_timer"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    QString ports(const test::PseudoTerminal& terminal, bool json)
    {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        cli::Streams streams{outStream, errStream};
        QStringList arguments{"ports", "--com", "1=" + terminal.slavePath};
        if (json)
            arguments << "--json";
        cli::runCommandLine(arguments, streams);
        return out;
    }

private slots:
    void initTestCase()
    {
        qputenv("QUORLINK_SYSFS_ROOT", m_sysfs.path().toLocal8Bit());
    }

    void aRefusedRequestLeavesThePortUsable()
    {
        test::PseudoTerminal terminal;
        QtSerialDevice device(terminal.slavePath);
        QVERIFY(device.lowLatencyRequested());
        QVERIFY(!device.lowLatency());
        device.apply(*LineSettings::parse(QStringLiteral("19200,n,8,1")));
        device.write("Q");
        char byte = 0;
        QVERIFY(test::PseudoTerminal::sleepUntilQueued(terminal.master, 1));
        QCOMPARE(::read(terminal.master, &byte, 1), 1);
        QCOMPARE(byte, 'Q');
    }

    void theTimerIsReadThroughLinksAndAdviceGivenAboveTwoMs()
    {
        test::PseudoTerminal terminal;
        QCOMPARE(adapterLatencyMs(terminal.slavePath), std::nullopt);

        setLatency(terminal, "16\n");
        const QString link = m_sysfs.filePath(QStringLiteral("by-id-link"));
        QVERIFY(QFile::link(terminal.slavePath, link));
        QCOMPARE(adapterLatencyMs(link), std::optional<int>(16));
        const QString advice = slowAdapterAdvice(link, 16);
        QVERIFY2(advice.contains(QStringLiteral("16 ms")) && advice.contains(latencyTimerPath(
                                                                 terminal.slavePath)),
                 qPrintable(advice));
        QCOMPARE(slowAdapterAdvice(link, 2), QString());

        setLatency(terminal, "garbage");
        QCOMPARE(adapterLatencyMs(terminal.slavePath), std::nullopt);
    }

    void portsShowsTheTimerAndTheAdvice()
    {
        test::PseudoTerminal terminal;
        setLatency(terminal, "16\n");
        const QString text = ports(terminal, false);
        QVERIFY2(text.contains(QStringLiteral("(adapter latency 16 ms)\n      The adapter holds")),
                 qPrintable(text));

        setLatency(terminal, "1\n");
        const QJsonObject com1 = QJsonDocument::fromJson(ports(terminal, true).toUtf8())
                                     .object()[QStringLiteral("ports")]
                                     .toArray()
                                     .at(0)
                                     .toObject();
        QCOMPARE(com1[QStringLiteral("device")].toString(), terminal.slavePath);
        QCOMPARE(com1[QStringLiteral("latency")].toInt(), 1);
        QVERIFY(com1[QStringLiteral("advice")].isNull());
    }
};

QTEST_GUILESS_MAIN(AdapterLatencyTest)
#include "tst_adapterlatency.moc"
