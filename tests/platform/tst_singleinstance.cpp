// The start-up guards: one running copy per program, and the folder that
// holds the settings file.
#include "platform/singleinstance.h"
#include "platform/systemdirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlink;

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void oneCopyHoldsTheLockUntilItEndsOrDies()
    {
        QTemporaryDir folder;
        const QString lockFolder = folder.filePath(QStringLiteral("not/yet/there"));
        auto first = SingleInstance::tryAcquire(QStringLiteral("Update"), lockFolder);
        QVERIFY(first && first->isGuarded());
        QVERIFY(!SingleInstance::tryAcquire(QStringLiteral("Update"), lockFolder));
        // The other program built from the same sources is another program.
        QVERIFY(SingleInstance::tryAcquire(QStringLiteral("Tamber"), lockFolder));
        QFile lock(first->lockFilePath());
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QByteArray lockText = lock.readAll();
        lock.close();
        first.reset();
        auto next = SingleInstance::tryAcquire(QStringLiteral("Update"), lockFolder);
        QVERIFY(next && next->isGuarded());
        next.reset();

        // The same lock again, as left by a copy whose process has ended.
        QProcess ended;
        ended.start(QStringLiteral("true"), {});
        QVERIFY(ended.waitForStarted());
        lockText.replace(0, lockText.indexOf('\n'), QByteArray::number(ended.processId()));
        QVERIFY(ended.waitForFinished());
        QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(lockText) == lockText.size());
        lock.close();
        auto afterCrash = SingleInstance::tryAcquire(QStringLiteral("Update"), lockFolder);
        QVERIFY(afterCrash && afterCrash->isGuarded());
    }

    // The settings and the locks go where files can be made: the named
    // folder if it can be written, otherwise the user's own folder. Running
    // as root, only a path below a regular file cannot be made.
    void systemDirectoryIsOneThatCanBeWritten_data()
    {
        QTest::addColumn<QString>("overridden"); // below the test folder; empty: not set
        QTest::addColumn<QString>("expected");
        QTest::newRow("named, created") << "portable/system//"
                                        << "portable/system";
        QTest::newRow("named, cannot be made") << "a-file/system"
                                               << "config/VarnexQuorlink";
        QTest::newRow("not named") << ""
                                   << "config/VarnexQuorlink";
    }

    void systemDirectoryIsOneThatCanBeWritten()
    {
        QFETCH(QString, overridden);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        QFile regularFile(folder.filePath(QStringLiteral("a-file")));
        QVERIFY(regularFile.open(QIODevice::WriteOnly));
        regularFile.close();
        qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
        if (!overridden.isEmpty())
            qputenv("QUORLINK_SYSTEM_DIR", folder.filePath(overridden).toLocal8Bit());
        const QString found = systemDirectory();
        qunsetenv("QUORLINK_SYSTEM_DIR");
        QCOMPARE(found, folder.filePath(expected));
        QVERIFY(QFileInfo(found).isDir());
    }

    void windowsDirectoryBuffer_data()
    {
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<QString>("folder");
        const QString padding(200, QLatin1Char(' '));
        QTest::newRow("as the call leaves it")
            << QStringLiteral("C:\\WINDOWS") + QChar(0) + padding << "C:\\WINDOWS";
        QTest::newRow("no terminator") << QStringLiteral("  C:\\WINNT  ") << "C:\\WINNT";
        QTest::newRow("call failed") << padding << "";
    }

    void windowsDirectoryBuffer()
    {
        QFETCH(QString, buffer);
        QTEST(windowsDirectoryFromBuffer(buffer), "folder");
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
