#include "firmware/firmwarereader.h"
#include "firmware/language.h"
#include "firmwaremaker.h"
#include "platform/prompts.h"
#include "sim/virtualclock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quorlink::firmware;
namespace maker = quorlink::firmware::maker;
using Kind = FileOutcome::Kind;

namespace {

const QString RemoteVersion = QStringLiteral("QLREM ver1.07 US");
const QString ManagerVersion = QStringLiteral("QLMGR ver2.31 DE");

// Worked out by hand from the format, independent of the maker; the short one
// is the classic Intel HEX example record.
const QString ShortRecord =
    QStringLiteral(":69A1e5A5a5Ed34e528E5eD74e528a53a1ae711E3E5b5aDaf699cFaCc1F7CDf5BbfB2Efa35aCB");
const QString FullRecord =
    QStringLiteral(":dE73B04B7bDb96F8C0A4Fd6F35D447E4cB76A4faE04f982C8A2F72Aa836BAb7BfbA1e06e2E6c");

QStringList remoteTexts()
{
    return maker::FirmwareMaker(1).remoteRecordTexts(
        maker::makeImage(0x2000, 300, RemoteVersion, 1));
}

// The second image's version text differs: only the first version record counts.
QStringList managerTexts()
{
    return maker::FirmwareMaker(2).managerRecordTexts(
        maker::makeImage(0x2000, 200, ManagerVersion, 2),
        maker::makeImage(0x2F00, 100, QStringLiteral("QLMGR ver2.31 FR"), 3));
}

QByteArray contentsOf(const QStringList& texts)
{
    return maker::FirmwareMaker().fileContents(texts);
}

int versionRecordIndex(const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i)
        if (descrambleRecord(texts.at(i)).mid(3, 4) == VersionRecordAddress)
            return i;
    return -1;
}

QStringList withCharacter(QStringList texts, int record, int index, QChar character)
{
    texts[record][index] = character;
    return texts;
}

// Another hex digit in place of the one at `index`.
QStringList withOtherDigit(const QStringList& texts, int record, int index)
{
    return withCharacter(texts, record, index, texts[record][index] == u'0' ? u'1' : u'0');
}

} // namespace

class FirmwareFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    quorlink::sim::VirtualClock m_clock;
    int m_files = 0;

    QString write(const QByteArray& contents)
    {
        QFile file(m_dir.filePath(QString::number(++m_files) + QStringLiteral(".hex")));
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

    FileOutcome check(FirmwareReader& file, const QByteArray& contents, CardKind kind)
    {
        return file.readAndCheck(write(contents), kind, m_clock);
    }

private slots:
    void everyByteRoundTripsUnderEveryKey()
    {
        for (const auto letterCase : {maker::LetterCase::Upper, maker::LetterCase::Lower})
            for (int key = 0; key < 256; ++key) {
                const auto k = static_cast<std::uint8_t>(key);
                QCOMPARE(decodeKeyByte(maker::scrambleKey(k, letterCase)), k);
                for (int byte = 0; byte < 256; ++byte) {
                    if (decodeDataByte(maker::scrambleByte(std::uint8_t(byte), k, letterCase), k) !=
                        byte)
                        QFAIL(qPrintable(QStringLiteral("key %1 byte %2").arg(key).arg(byte)));
                }
            }
    }

    // Known answers, then lines that cannot be descrambled and so fail the checksum test.
    void descrambledText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("16 data bytes")
            << ShortRecord << ":10010000214601360121470136007EFE09D2190140";
        QTest::newRow("32 data bytes")
            << FullRecord
            << ":202FC00082B70EEE7F1A5039BEF07EC2347F066ED08F5DC7512447E3404300026B6E54555C";
        QTest::newRow("bad character") << QString(FullRecord).replace(20, 1, u'x') << QString();
        QTest::newRow("cut short") << FullRecord.left(60) << QString();
        // Count 0xFF: 255 data bytes would run far past the 77 characters.
        QTest::newRow("count past the record")
            << (u':' + maker::scrambleKey(9) + maker::scrambleByte(0xFF, 9) + QString(72, u'0'))
            << QString();
    }
    void descrambledText()
    {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QCOMPARE(descrambleRecord(line), expected);
        QCOMPARE(checkLineChecksum(expected), !expected.isEmpty());
    }

    void filesReadBackAsStored_data()
    {
        QTest::addColumn<maker::LetterCase>("letterCase");
        QTest::newRow("upper-case digits") << maker::LetterCase::Upper;
        QTest::newRow("lower-case digits") << maker::LetterCase::Lower;
    }
    void filesReadBackAsStored()
    {
        QFETCH(maker::LetterCase, letterCase);
        maker::FirmwareMaker firmwareMaker(7);
        firmwareMaker.setLetterCase(letterCase);
        const maker::Image image = maker::makeImage(0x2F00, 1000, RemoteVersion, 7);
        const QByteArray contents = firmwareMaker.remoteFile(image);
        FirmwareReader file;
        const int yieldsBefore = m_clock.yieldCount();
        QVERIFY(check(file, contents, CardKind::Remote).ok());
        // The window keeps painting while a file is read.
        QVERIFY(m_clock.yieldCount() - yieldsBefore >= file.recordCount);
        QCOMPARE(file.fileVersionText, RemoteVersion);
        // Every slot is kept as it stands; the records are sent that way.
        QCOMPARE(file.fileRecords.join(QString()).toLatin1(), contents);
    }

    void filesAreAcceptedOrRejectedAsTheyDeserve_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<CardKind>("kind");
        QTest::addColumn<Kind>("expected");
        QTest::addColumn<QString>("version");
        const auto row = [this](const char* name, const QStringList& texts, Kind expected,
                                const QString& text = RemoteVersion,
                                CardKind kind = CardKind::Remote) {
            QTest::newRow(name) << write(contentsOf(texts)) << kind << expected << text;
        };

        const QStringList remote = remoteTexts();
        const int version = versionRecordIndex(remote);
        const int versionEnd = 13 + 2 * (RemoteVersion.size() + 1); // checksum's last digit
        row("good remote file", remote, Kind::Good);
        row("hex digit instead of the colon", withCharacter(remote, 0, 0, u'A'), Kind::Good);
        row("other character instead of the colon", withCharacter(remote, 0, 0, u'*'),
            Kind::WrongCharacters);
        QStringList withEndType = remote;
        withEndType.insert(1, QStringLiteral(":00") + QString(74, u'7'));
        row("record marked 00 is not checksum-tested", withEndType, Kind::Good);
        row("padding after a short record is not checksum-tested",
            withOtherDigit(remote, version, versionEnd + 5), Kind::Good);
        row("padding must still be hex digits", withCharacter(remote, version, 76, u':'),
            Kind::WrongCharacters);
        row("last checksum digit of a short record",
            withOtherDigit(remote, version, versionEnd - 1), Kind::WrongChecksum, QString());
        row("changed data digit", withOtherDigit(remote, 1, 30), Kind::WrongChecksum, QString());

        maker::FirmwareMaker firmwareMaker(3);
        maker::Image noVersion;
        noVersion.place({0x1000, maker::generatedBytes(100, 3)});
        row("no version record", firmwareMaker.remoteRecordTexts(noVersion), Kind::Good, QString());
        // This text has digits A, B and F as well.
        row("the first version record wins",
            QStringList{firmwareMaker.recordText({VersionAddress, 0, "QLREM ver9.9; JO\xFF", 5})} +
                remote,
            Kind::Good, QStringLiteral("QLREM ver9.9; JO"));

        const QStringList manager = managerTexts();
        row("good management card file", manager, Kind::Good, ManagerVersion, CardKind::Manager);
        row("no end record before the last", remote, Kind::WrongCharacters, RemoteVersion,
            CardKind::Manager);
        row("management card file with an empty first image",
            manager.mid(versionRecordIndex(manager) + 2), Kind::WrongCharacters,
            QStringLiteral("QLMGR ver2.31 FR"), CardKind::Manager);

        row("length a multiple of 79",
            QStringList(remote.mid(0, remote.size() - 1)) << firmwareMaker.paddedEndRecord(),
            Kind::WrongCharacters);
        row("only the end record", {QString(EndRecordText)}, Kind::WrongCharacters, QString());
        QTest::newRow("ends in a data record without the end record")
            << write(contentsOf(remote.mid(0, remote.size() - 1)).chopped(2)) << CardKind::Remote
            << Kind::WrongCharacters << RemoteVersion;
        QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("gone.hex"))
                                      << CardKind::Remote << Kind::CannotRead << QString();
        // Nothing ever writes to it: opening it to read would wait for ever.
        const QString pipe = m_dir.filePath(QStringLiteral("pipe.hex"));
        if (::mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0)
            qFatal("cannot make the pipe %s", qPrintable(pipe));
        QTest::newRow("a named pipe") << pipe << CardKind::Remote << Kind::CannotRead << QString();
    }
    void filesAreAcceptedOrRejectedAsTheyDeserve()
    {
        QFETCH(QString, path);
        QFETCH(CardKind, kind);
        QFETCH(Kind, expected);
        QFETCH(QString, version);
        FirmwareReader file;
        const FileOutcome outcome = file.readAndCheck(path, kind, m_clock);
        QCOMPARE(outcome.kind, expected);
        QCOMPARE(file.fileVersionText, version);
        if (expected == Kind::Good)
            return;
        QCOMPARE(outcome.text,
                 expected == Kind::WrongChecksum ? QStringLiteral("File is in wrong hex format!")
                 : expected == Kind::WrongCharacters ? QStringLiteral("File is in wrong hex format")
                                                     : QStringLiteral("Cannot read ") + path);
        QCOMPARE(outcome.title, expected == Kind::CannotRead ? QStringLiteral("Disk Drive Error")
                                                             : QStringLiteral("File Error"));
        QCOMPARE(outcome.style, quorlink::MessageStyle::CriticalOk);
    }

    void managementFileSplitsAfterTheFirstEndRecord()
    {
        const QStringList texts = managerTexts();
        const int firstEnd = versionRecordIndex(texts) + 1;
        QVERIFY(texts[firstEnd].startsWith(EndRecordText));
        FirmwareReader file;
        QVERIFY(check(file, contentsOf(texts), CardKind::Manager).ok());
        QCOMPARE(file.firstImageEnd, firstEnd);
        QCOMPARE(file.firstImage, file.fileRecords.mid(0, firstEnd + 1));
        QCOMPARE(file.secondImageLast, texts.size() - firstEnd - 2);
        QCOMPARE(file.secondImage, file.fileRecords.mid(firstEnd + 1));
    }

    void truncatedFilesAreRejectedUnlessTheEndRecordSurvives()
    {
        maker::Image image;
        image.place({0x0100, maker::generatedBytes(64, 4)});
        const QByteArray contents = maker::FirmwareMaker(4).remoteFile(image);
        // What is left of the end record still counts as one from ":00" on.
        const qsizetype endRecordMarked = contents.size() - 13 + 3;
        for (qsizetype cut = 0; cut < contents.size(); ++cut) {
            FirmwareReader file;
            if (check(file, contents.left(cut), CardKind::Remote).ok() != (cut >= endRecordMarked))
                QFAIL(qPrintable(QStringLiteral("cut at %1 of %2").arg(cut).arg(contents.size())));
        }
    }
};

QTEST_GUILESS_MAIN(FirmwareFileTest)
#include "tst_firmwarefile.moc"
