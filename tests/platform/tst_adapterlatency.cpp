// A USB adapter's latency timer, through a fake sysfs tree: the port asks the
// driver for low latency when it opens (a pseudo-terminal refuses, and is
// used as it is), and the tool shows the timer and how to lower it. The
// simulated switch can play such an adapter.

#include "cli/command.h"
#include "platform/adapterlatency.h"
#include "platform/qttimesource.h"
#include "platform/serialports.h"
#include "pseudoterminal.h"
#include "sim/ptyswitch.h"
#include "sim/simulatedswitch.h"

#include <QDir>
#include <QElapsedTimer>
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

    QString ports(const test::PseudoTerminal& terminal, bool json)
    {
        QStringList arguments{"ports", "--com", "1=" + terminal.slavePath};
        if (json)
            arguments << "--json";
        return run(arguments);
    }

    // Real milliseconds of a version query of five cards through the
    // simulated switch behind an adapter of `latencyMs`.
    static qint64 versionQueryMs(int latencyMs)
    {
        QtTimeSource time(Qt::PreciseTimer);
        const auto simulatedSwitch = sim::SimulatedSwitch::standard(time);
        sim::PtySwitch pty(*simulatedSwitch);
        pty.setAdapterLatencyMs(latencyMs);
        QElapsedTimer elapsed;
        elapsed.start();
        const QString out = run({"versions", "--device", pty.slavePath(), "--cards", "2-6"});
        if (out.count(QStringLiteral("F/W")) != 5)
            qWarning("unexpected answers: %s", qPrintable(out));
        return out.count(QStringLiteral("F/W")) == 5 ? elapsed.elapsed() : -1;
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

    // Five replies, each held back by a 100 ms adapter timer (half the
    // reply timeout): about 0.45 s more; the bound leaves room for a busy
    // machine both ways.
    void theSimulatedAdapterHoldsEachReplyForItsTimer()
    {
        const qint64 direct = versionQueryMs(0);
        const qint64 held = versionQueryMs(100);
        QVERIFY(direct >= 0 && held >= 0);
        QVERIFY2(held - direct > 250, qPrintable(QStringLiteral("%1 ms against %2 ms")
                                                     .arg(held)
                                                     .arg(direct)));
    }
};

QTEST_GUILESS_MAIN(AdapterLatencyTest)
#include "tst_adapterlatency.moc"
