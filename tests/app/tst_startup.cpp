#include "app/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using quorlink::app::SettingsFile;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsFileIsCreatedOnlyWhenMissingOrEmpty_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray defaults("Left = 100\r\nTop = 100\r\nCom = 1\r\n");
        QTest::newRow("missing") << false << QByteArray() << defaults;
        QTest::newRow("empty") << true << QByteArray() << defaults;
        QTest::newRow("content kept") << true << QByteArray("Left = 5\r\nTop = 6\r\nCom = 2\r\n")
                                      << QByteArray("Left = 5\r\nTop = 6\r\nCom = 2\r\n");
        QTest::newRow("garbage kept") << true << QByteArray("x") << QByteArray("x");
    }
    void settingsFileIsCreatedOnlyWhenMissingOrEmpty()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString path = SettingsFile::pathIn(dir.path());
        if (exists)
            writeRaw(path, content);
        SettingsFile::ensureExists(path);
        QCOMPARE(readAll(path), expected);
    }

    void valuesAreReadPositionally_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("com");
        QTest::newRow("two") << "Com = 2" << 2;
        QTest::newRow("four") << "Com = 4" << 4;
        QTest::newRow("word ignored") << "Port= 3" << 3;
        QTest::newRow("zero") << "Com = 0" << 1;
        QTest::newRow("negative") << "Com = -3" << 1;
        QTest::newRow("not a number") << "Com = abc" << 1;
        QTest::newRow("above four") << "Com = 9" << 1;
        QTest::newRow("missing line") << "" << 1;
    }
    void valuesAreReadPositionally()
    {
        QFETCH(QString, line);
        QFETCH(int, com);
        QCOMPARE(SettingsFile::comPortValue(line), com);
    }

    void positionsParseOrAreUnusable()
    {
        QCOMPARE(SettingsFile::leftValue(QStringLiteral("Left = 1500")), 1500.0f);
        QCOMPARE(SettingsFile::topValue(QStringLiteral("Top = -45")), -45.0f);
        QCOMPARE(SettingsFile::leftValue(QStringLiteral("Left = 12.5")), 12.5f);
        QVERIFY(!SettingsFile::leftValue(QStringLiteral("Left = ")).has_value());
        QVERIFY(!SettingsFile::topValue(QStringLiteral("Top = north")).has_value());
    }

    void writeReplacesTheFileWithThreeCrLfLinesInShortestDecimal()
    {
        QTemporaryDir dir;
        const QString path = SettingsFile::pathIn(dir.path());
        writeRaw(path, "old content that is much longer than the new one\r\n");
        QVERIFY(SettingsFile::write(path, 1500.0f, 1234.5f, 3));
        QCOMPARE(readAll(path), QByteArray("Left = 1500\r\nTop = 1234.5\r\nCom = 3\r\n"));
        QCOMPARE(SettingsFile::formatPosition(0.1f), QStringLiteral("0.1"));
        QCOMPARE(SettingsFile::formatPosition(1000000.0f), QStringLiteral("1000000"));
        // Written through a temporary file renamed over the old one: nothing else is left.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("update.ini")});
    }

    void writeIntoAMissingFolderFailsWithoutThrowing()
    {
        QVERIFY(!SettingsFile::write(QStringLiteral("/nonexistent-folder/update.ini"), 1, 1, 1));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
