#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

// The window programs' own options, through the real program.
class ProgramOptionsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_systemDirectory;

    void start(QProcess& process, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUORLINK_SYSTEM_DIR"), m_systemDirectory.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUORLINK_UPDATE), arguments);
    }

private slots:
    // --version needs no display: it is answered before the window's toolkit starts.
    void version()
    {
        QProcess process;
        process.setProcessEnvironment(QProcessEnvironment());
        process.start(QStringLiteral(QUORLINK_UPDATE), {"--version"});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(), QByteArray("Update " QUORLINK_VERSION "\n"));
    }

    void unwritableTraceIsRefused()
    {
        QProcess process;
        start(process, {"--trace", "/nonexistent-folder/trace.txt"});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("cannot write the trace"));
    }

    // The start-up probe and the opening of the port, traced: the modem test on
    // the simulated switch, then the link's data setting.
    void traceOfTheStartUp()
    {
        const QString trace = m_systemDirectory.filePath(QStringLiteral("trace.txt"));
        QProcess process;
        start(process, {"--simulate", "--trace", trace});
        QByteArray text;
        const QDeadlineTimer deadline(20000);
        while (!text.contains("19200,s,8,1") && !deadline.hasExpired()) {
            process.waitForFinished(100);
            QFile file(trace);
            if (file.open(QIODevice::ReadOnly))
                text = file.readAll();
        }
        process.kill();
        process.waitForFinished(5000);
        const QList<QByteArray> lines = text.split('\n');
        QVERIFY2(lines.size() >= 4, text.constData());
        QVERIFY(lines[0].endsWith("-- open COM1 Simulated switch 9600,n,8,1"));
        QVERIFY(lines[1].endsWith(" out none  41 54 0d"));
        QVERIFY(lines[2].endsWith("-- close Simulated switch"));
        QVERIFY(text.contains("-- open COM1 Simulated switch 19200,s,8,1\n"));
    }
};

QTEST_GUILESS_MAIN(ProgramOptionsTest)
#include "tst_programoptions.moc"
