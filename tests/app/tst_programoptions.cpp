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
};

QTEST_GUILESS_MAIN(ProgramOptionsTest)
#include "tst_programoptions.moc"
