// update.ini survives an interrupted write: a write that fails after any
// number of bytes (a full disk, or a program killed while it writes) leaves
// the old content or the new one, never a part of either.
#include "platform/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

using quorlink::SettingsFile;

namespace {

// The test program runs itself as the writer: QUORLINK_SETTINGS_WRITER gives
// its size limit, QUORLINK_SETTINGS_PATH the file.
const char* const WriterMode = "QUORLINK_SETTINGS_WRITER";
const char* const WriterPath = "QUORLINK_SETTINGS_PATH";

const QByteArray OldContent("Left = 100\r\nTop = 100\r\nCom = 1\r\n");
// Positions are written in full, never with an exponent.
const QByteArray FirstContent("Left = 1000000\r\nTop = 900.5\r\nCom = 2\r\n");

// One write with the file size limited to `limit` bytes; the exit code tells
// whether it reported success.
int runWriter(const QByteArray& limitText, const QString& path)
{
    const rlim_t limit = limitText.toULongLong();
    const rlimit sizeLimit{limit, limit};
    std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
    if (setrlimit(RLIMIT_FSIZE, &sizeLimit) != 0)
        return 2;
    return SettingsFile::write(path, 1000000, 900.5f, 2) ? 0 : 1;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void startWriter(QProcess& writer, const QString& limit, const QString& path)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(WriterMode), limit);
    environment.insert(QString::fromLatin1(WriterPath), path);
    writer.setProcessEnvironment(environment);
    writer.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(writer.waitForStarted());
}

} // namespace

class SettingsFileTest : public QObject
{
    Q_OBJECT

private slots:
    // Every size limit from nothing to the whole file: the write either
    // fails and keeps the old file, or succeeds with the new one.
    void aWriteThatFailsPartWayKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = SettingsFile::pathIn(dir.path());
        for (qsizetype limit = 0; limit <= FirstContent.size(); ++limit) {
            writeRaw(path, OldContent);
            QProcess writer;
            startWriter(writer, QString::number(limit), path);
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
            const bool whole = limit == FirstContent.size();
            QCOMPARE(writer.exitCode(), whole ? 0 : 1);
            QCOMPARE(readAll(path), whole ? FirstContent : OldContent);
            // The unfinished new file does not linger beside it.
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{QStringLiteral("update.ini")});
        }
    }

    // Read by position, so the word before "=" does not matter; a port
    // outside 1 to 4 means COM1.
    void valuesAreReadByPosition()
    {
        QCOMPARE(SettingsFile::comPortValue(QStringLiteral("Port= 3")), 3);
        QCOMPARE(SettingsFile::comPortValue(QStringLiteral("Com = -3")), 1);
    }
};

int main(int argc, char* argv[])
{
    if (const QByteArray mode = qgetenv(WriterMode); !mode.isEmpty())
        return runWriter(mode, qEnvironmentVariable(WriterPath));
    QCoreApplication application(argc, argv);
    SettingsFileTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsfile.moc"
