#include "firmware/firmwarereader.h"
#include "firmwaremaker.h"
#include "platform/prompts.h"
#include "sim/virtualclock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <random>

using namespace quorlink::firmware;
namespace maker = quorlink::firmware::maker;
using Kind = FileOutcome::Kind;

namespace {

const QString RemoteVersion = QStringLiteral("QLREM ver1.07 US");
const QString ManagerVersion = QStringLiteral("QLMGR ver2.31 DE");

maker::Image remoteImage()
{
    return maker::makeImage(0x2000, 300, RemoteVersion, 1);
}

QStringList remoteTexts(maker::LetterCase letterCase = maker::LetterCase::Upper)
{
    maker::FirmwareMaker firmwareMaker(1);
    firmwareMaker.setLetterCase(letterCase);
    return firmwareMaker.remoteRecordTexts(remoteImage());
}

QStringList managerTexts(const QString& secondVersion = ManagerVersion)
{
    maker::FirmwareMaker firmwareMaker(2);
    return firmwareMaker.managerRecordTexts(maker::makeImage(0x2000, 200, ManagerVersion, 2),
                                            maker::makeImage(0x2F00, 100, secondVersion, 3));
}

QByteArray contentsOf(const QStringList& texts, const QByteArray& lineEnd = "\r\n")
{
    maker::FirmwareMaker firmwareMaker;
    firmwareMaker.setLineEnd(lineEnd);
    return firmwareMaker.fileContents(texts);
}

int versionRecordIndex(const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i) {
        if (descrambleRecord(texts.at(i)).mid(3, 4) == VersionRecordAddress)
            return i;
    }
    return -1;
}

QStringList withCharacter(QStringList texts, int record, int index, QChar character)
{
    texts[record][index] = character;
    return texts;
}

// A hex digit other than the one at `index`.
QChar otherDigit(const QString& text, int index)
{
    return text.at(index) == u'0' ? u'1' : u'0';
}

} // namespace

class FirmwareFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& contents)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    FileOutcome check(FirmwareReader& file, const QByteArray& contents, CardKind kind)
    {
        quorlink::sim::VirtualClock clock;
        return file.readAndCheck(write(QStringLiteral("file.hex"), contents), kind, clock);
    }

private slots:
    void filesReadBackWithTheirImageAndVersion_data()
    {
        QTest::addColumn<maker::LetterCase>("letterCase");
        QTest::addColumn<std::optional<std::uint8_t>>("fixedKey");
        QTest::newRow("keys chosen per record")
            << maker::LetterCase::Upper << std::optional<std::uint8_t>();
        QTest::newRow("lower-case digits")
            << maker::LetterCase::Lower << std::optional<std::uint8_t>();
        QTest::newRow("key 0xFF throughout")
            << maker::LetterCase::Upper << std::optional<std::uint8_t>(0xFF);
    }
    void filesReadBackWithTheirImageAndVersion()
    {
        QFETCH(maker::LetterCase, letterCase);
        QFETCH(std::optional<std::uint8_t>, fixedKey);
        maker::FirmwareMaker firmwareMaker(7);
        firmwareMaker.setLetterCase(letterCase);
        firmwareMaker.setFixedKey(fixedKey);
        const maker::Image image = maker::makeImage(0x2F00, 1000, RemoteVersion, 7);
        const QByteArray contents = firmwareMaker.remoteFile(image);

        FirmwareReader file;
        quorlink::sim::VirtualClock clock;
        QVERIFY(file.readAndCheck(write(QStringLiteral("qdx_rem_e.hex"), contents),
                                  CardKind::Remote, clock)
                    .ok());
        // The window keeps painting while a file is read.
        QVERIFY(clock.yieldCount() >= file.recordCount);
        QCOMPARE(file.fileVersionText, RemoteVersion);
        QCOMPARE(file.fileLength, contents.size());
        QCOMPARE(file.progressUnit, float(contents.size()) / 100.0f);
        // Every slot is kept as it stands; the records are sent that way.
        QCOMPARE(file.fileRecords.join(QString()).toLatin1(), contents);
        QCOMPARE(file.fileRecords.constLast(), QStringLiteral(":00000001FF\r\n"));

        QByteArray loaded(0x10000, '\0');
        QByteArray expected(0x10000, '\0');
        for (const maker::Segment& segment : image.segments)
            expected.replace(segment.address, segment.bytes.size(), segment.bytes);
        for (int i = 0; i < file.recordCount - 1; ++i) {
            const QByteArray fields =
                QByteArray::fromHex(descrambleRecord(file.fileRecords.at(i).left(77)).toLatin1());
            const int address = (std::uint8_t(fields[1]) << 8) | std::uint8_t(fields[2]);
            loaded.replace(address, fields[0], fields.mid(4, fields[0]));
        }
        QCOMPARE(loaded, expected);
    }

    void filesAreAcceptedOrRejectedAsTheyDeserve_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<CardKind>("kind");
        QTest::addColumn<Kind>("expected");
        QTest::addColumn<QString>("version");

        const QStringList remote = remoteTexts();
        const int version = versionRecordIndex(remote);
        const int versionEnd = 13 + 2 * (RemoteVersion.size() + 1); // checksum's last digit
        QVERIFY(version > 0);
        const auto row = [](const char* name, const QStringList& texts, Kind expected,
                            const QString& text = RemoteVersion, CardKind kind = CardKind::Remote) {
            QTest::newRow(name) << contentsOf(texts) << kind << expected << text;
        };

        row("good remote file", remote, Kind::Good);
        row("lower-case digits", remoteTexts(maker::LetterCase::Lower), Kind::Good);
        row("hex digit instead of the colon", withCharacter(remote, 0, 0, u'A'), Kind::Good);
        row("other character instead of the colon", withCharacter(remote, 0, 0, u'*'),
            Kind::WrongCharacters);
        QStringList withEndType = remote;
        withEndType.insert(1, QStringLiteral(":00") + QString(74, u'7'));
        row("record marked 00 is not checksum-tested", withEndType, Kind::Good);
        row("padding after a short record is not checksum-tested",
            withCharacter(remote, version, versionEnd + 5,
                          otherDigit(remote[version], versionEnd + 5)),
            Kind::Good);
        row("padding must still be hex digits",
            withCharacter(remote, version, versionEnd + 5, u'g'), Kind::WrongCharacters);
        row("last checksum digit of a short record",
            withCharacter(remote, version, versionEnd - 1,
                          otherDigit(remote[version], versionEnd - 1)),
            Kind::WrongChecksum, QString());
        row("changed data digit", withCharacter(remote, 1, 30, otherDigit(remote[1], 30)),
            Kind::WrongChecksum, QString());
        row("bad character in the checksummed part", withCharacter(remote, 1, 30, u'Z'),
            Kind::WrongChecksum, QString());

        maker::FirmwareMaker firmwareMaker(3);
        maker::Image noVersion;
        noVersion.place({0x1000, maker::generatedBytes(100, 3)});
        row("no version record", firmwareMaker.remoteRecordTexts(noVersion), Kind::Good, QString());
        maker::Image unterminated = noVersion;
        unterminated.place({VersionAddress, RemoteVersion.toLatin1()});
        row("version record without FF", firmwareMaker.remoteRecordTexts(unterminated), Kind::Good);
        QStringList twoVersions = remote;
        twoVersions.prepend(
            firmwareMaker.recordText({VersionAddress, 0, "QLREM ver9.99 XX\xFF", 5}));
        row("the first version record wins", twoVersions, Kind::Good,
            QStringLiteral("QLREM ver9.99 XX"));

        row("good management card file", managerTexts(), Kind::Good, ManagerVersion,
            CardKind::Manager);
        row("second image's version is ignored", managerTexts(QStringLiteral("QLMGR ver2.31 FR")),
            Kind::Good, ManagerVersion, CardKind::Manager);
        row("management card file read as remote", managerTexts(), Kind::Good, ManagerVersion);
        row("no end record before the last", remote, Kind::WrongCharacters, RemoteVersion,
            CardKind::Manager);
        QStringList emptyFirstImage = managerTexts();
        emptyFirstImage.erase(emptyFirstImage.begin(),
                              emptyFirstImage.begin() + versionRecordIndex(managerTexts()) + 2);
        row("management card file with an empty first image", emptyFirstImage,
            Kind::WrongCharacters, ManagerVersion, CardKind::Manager);

        QStringList padded = remote;
        padded.last() = firmwareMaker.paddedEndRecord();
        row("length a multiple of 79", padded, Kind::WrongCharacters);
        row("only the end record", {QString(EndRecordText)}, Kind::WrongCharacters, QString());
        row("no records at all", {}, Kind::WrongCharacters, QString());
        QStringList noEnd = remote;
        noEnd.removeLast();
        QTest::newRow("ends in a data record without the end record")
            << contentsOf(noEnd).chopped(2) << CardKind::Remote << Kind::WrongCharacters
            << RemoteVersion;
    }
    void filesAreAcceptedOrRejectedAsTheyDeserve()
    {
        QFETCH(QByteArray, contents);
        QFETCH(CardKind, kind);
        QFETCH(Kind, expected);
        QFETCH(QString, version);
        FirmwareReader file;
        const FileOutcome outcome = check(file, contents, kind);
        QCOMPARE(outcome.kind, expected);
        if (expected == Kind::Good || !version.isEmpty())
            QCOMPARE(file.fileVersionText, version);
    }

    void managementFileSplitsAfterTheFirstEndRecord()
    {
        const QStringList texts = managerTexts();
        const int firstEnd =
            int(std::find_if(texts.begin(), texts.end(),
                             [](const QString& text) { return text.startsWith(EndRecordText); }) -
                texts.begin());
        QVERIFY(firstEnd > 0);
        FirmwareReader file;
        QVERIFY(check(file, contentsOf(texts), CardKind::Manager).ok());
        QCOMPARE(file.firstImageEnd, firstEnd);
        QCOMPARE(file.firstImage, file.fileRecords.mid(0, firstEnd + 1));
        QCOMPARE(file.secondImageLast, texts.size() - firstEnd - 2);
        QCOMPARE(file.secondImage, file.fileRecords.mid(firstEnd + 1));
        QCOMPARE(file.secondImage.constLast(), QStringLiteral(":00000001FF\r\n"));

        // A remote file read next leaves the images alone.
        QVERIFY(check(file, contentsOf(remoteTexts()), CardKind::Remote).ok());
        QCOMPARE(file.firstImageEnd, firstEnd);
    }

    void failuresCarryTheirMessages_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        const QStringList remote = remoteTexts();
        QTest::newRow("checksum") << contentsOf(
                                         withCharacter(remote, 1, 30, otherDigit(remote[1], 30)))
                                  << "File is in wrong hex format!"
                                  << "File Error";
        QTest::newRow("character")
            << contentsOf(withCharacter(remote, versionRecordIndex(remote), 76, u' '))
            << "File is in wrong hex format"
            << "File Error";
    }
    void failuresCarryTheirMessages()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, text);
        QFETCH(QString, title);
        FirmwareReader file;
        const FileOutcome outcome = check(file, contents, CardKind::Remote);
        QCOMPARE(outcome.text, text);
        QCOMPARE(outcome.title, title);
        QCOMPARE(outcome.style, quorlink::MessageStyle::CriticalOk);
    }

    void unreadableFilesAreReadFailures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("qdx_rem_gone_e.hex"));
        QTest::newRow("a folder") << m_dir.path();
    }
    void unreadableFilesAreReadFailures()
    {
        QFETCH(QString, path);
        quorlink::sim::VirtualClock clock;
        FirmwareReader file;
        const FileOutcome outcome = file.readAndCheck(path, CardKind::Remote, clock);
        QCOMPARE(outcome.kind, Kind::CannotRead);
        QCOMPARE(outcome.text, QStringLiteral("Cannot read ") + path);
        QCOMPARE(outcome.title, QStringLiteral("Disk Drive Error"));
        QCOMPARE(outcome.style, quorlink::MessageStyle::CriticalOk);
    }

    void damagedFilesAreRejected_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<CardKind>("kind");
        QTest::newRow("LF line ends, remote")
            << contentsOf(remoteTexts(), "\n") << CardKind::Remote;
        QTest::newRow("LF line ends, management")
            << contentsOf(managerTexts(), "\n") << CardKind::Manager;
        std::mt19937 random(11);
        for (int seed = 0; seed < 4; ++seed) {
            QByteArray garbage = maker::generatedBytes(2000, seed);
            QTest::addRow("binary garbage %d", seed) << garbage << CardKind(seed % 2);
            QByteArray spoiled = contentsOf(remoteTexts());
            spoiled.replace(int(random() % 500), 40, garbage.left(40));
            QTest::addRow("good file with garbage inside %d", seed) << spoiled << CardKind::Remote;
        }
    }
    void damagedFilesAreRejected()
    {
        QFETCH(QByteArray, contents);
        QFETCH(CardKind, kind);
        FirmwareReader file;
        QVERIFY(!check(file, contents, kind).ok());
    }

    void truncatedFilesAreRejectedUnlessTheEndRecordSurvives()
    {
        maker::FirmwareMaker firmwareMaker(4);
        maker::Image image;
        image.place({0x0100, maker::generatedBytes(64, 4)});
        const QByteArray contents = firmwareMaker.remoteFile(image);
        // What is left of the end record still counts as one from ":00" on.
        const qsizetype endRecordMarked = contents.size() - 13 + 3;
        for (qsizetype cut = 0; cut < contents.size(); ++cut) {
            FirmwareReader file;
            const bool accepted = check(file, contents.left(cut), CardKind::Remote).ok();
            if (accepted != (cut >= endRecordMarked))
                QFAIL(qPrintable(QStringLiteral("cut at %1 of %2").arg(cut).arg(contents.size())));
        }
    }

    void recordCountsAreSixteenBit_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<Kind>("expected");
        QTest::newRow("32767 records") << 32767 << Kind::Good;
        QTest::newRow("32768 records") << 32768 << Kind::CannotRead;
    }
    void recordCountsAreSixteenBit()
    {
        QFETCH(int, records);
        QFETCH(Kind, expected);
        maker::FirmwareMaker firmwareMaker;
        const QByteArray line =
            firmwareMaker.fileContents({firmwareMaker.recordText({0, 0, "quorlink", 9})});
        QByteArray contents = line.repeated(records - 1);
        contents.append(":00000001FF\r\n");
        FirmwareReader file;
        QCOMPARE(check(file, contents, CardKind::Remote).kind, expected);
    }
};

QTEST_GUILESS_MAIN(FirmwareFileTest)
#include "tst_firmwarefile.moc"
