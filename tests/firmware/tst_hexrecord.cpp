#include "firmware/hexrecord.h"
#include "firmware/language.h"
#include "firmwaremaker.h"

#include <QTest>

using namespace quorlink::firmware;
namespace maker = quorlink::firmware::maker;

class HexRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTripsUnderEveryKey_data()
    {
        QTest::addColumn<maker::LetterCase>("letterCase");
        QTest::newRow("upper-case digits") << maker::LetterCase::Upper;
        QTest::newRow("lower-case digits") << maker::LetterCase::Lower;
    }
    void everyByteRoundTripsUnderEveryKey()
    {
        QFETCH(maker::LetterCase, letterCase);
        for (int key = 0; key < 256; ++key) {
            const auto k = static_cast<std::uint8_t>(key);
            QCOMPARE(decodeKeyByte(maker::scrambleKey(k, letterCase)), k);
            for (int byte = 0; byte < 256; ++byte) {
                const auto b = static_cast<std::uint8_t>(byte);
                const QString pair = maker::scrambleByte(b, k, letterCase);
                if (decodeDataByte(pair, k) != b)
                    QFAIL(qPrintable(QStringLiteral("key %1 byte %2").arg(key).arg(byte)));
            }
        }
    }

    // Known answers worked out by hand from the format, independent of the
    // maker; then lines that cannot be descrambled.
    void descrambledText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("four data bytes, mixed case")
            << ":BBeF3EF017e9b4ae7c7e8Bb9081979BEdCBCfE2427eBAD737017D7Bea8720B3732c5aB3A54dD"
            << ":044378E71C69014A42";
        QTest::newRow("full record")
            << ":f4dBe30aAFaF4A61FC8c7cb14071fF88c9D0aDAe9FDEcbB5f7627a53BC5aE9E231cdbCBB2BBE"
            << ":20C067F1F166CABC7DBE894E8AB06D680CF9F53134609990C6A602BD26E8C48B78BDA1E3B5";
        maker::FirmwareMaker firmwareMaker;
        const QString full = firmwareMaker.recordText({0, 0, maker::generatedBytes(32, 1), 9});
        QTest::newRow("end record as it stands") << ":00000001FF\r\n"
                                                 << ":00000001FF\r\n";
        QTest::newRow("bad character in a data byte")
            << QString(full).replace(20, 1, u'x') << QString();
        QTest::newRow("cut short") << full.left(60) << QString();
        QTest::newRow("no count") << ":A" << QString();
        QTest::newRow("empty") << QString() << QString();
        // Count 0xFF: 255 data bytes would run far past the 77 characters.
        const std::uint8_t key = 9;
        QTest::newRow("count past the record")
            << (u':' + maker::scrambleKey(key) + maker::scrambleByte(0xFF, key) + full.mid(5))
            << QString();
    }
    void descrambledText()
    {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QCOMPARE(descrambleRecord(line), expected);
    }

    void checksumTest_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("passes");
        QTest::newRow("end record") << ":00000001FF" << true;
        QTest::newRow("data record") << ":10010000214601360121470136007EFE09D2190140" << true;
        QTest::newRow("lower case") << ":10010000214601360121470136007efe09d2190140" << true;
        QTest::newRow("one byte changed") << ":10010000214601360121470136007EFE09D2190240" << false;
        QTest::newRow("checksum changed") << ":10010000214601360121470136007EFE09D2190141" << false;
        QTest::newRow("too short") << ":0" << false;
    }
    void checksumTest()
    {
        QFETCH(QString, line);
        QFETCH(bool, passes);
        QCOMPARE(checkLineChecksum(line), passes);
    }

    void characterTest_data()
    {
        QTest::addColumn<QString>("character");
        QTest::addColumn<bool>("colonAllowed");
        QTest::addColumn<bool>("passes");
        QTest::newRow("colon allowed") << ":" << true << true;
        QTest::newRow("colon not allowed") << ":" << false << false;
        QTest::newRow("a") << "a" << false << true;
        QTest::newRow("F") << "F" << true << true;
        QTest::newRow("G") << "G" << false << false;
        QTest::newRow("CR") << "\r" << true << false;
        QTest::newRow("empty") << "" << true << false;
    }
    void characterTest()
    {
        QFETCH(QString, character);
        QFETCH(bool, colonAllowed);
        QFETCH(bool, passes);
        QCOMPARE(isHexChar(QStringView(character), colonAllowed), passes);
    }

    void hexPairValues_data()
    {
        QTest::addColumn<QString>("pair");
        QTest::addColumn<int>("value");
        QTest::newRow("upper") << "4A" << 0x4A;
        QTest::newRow("lower") << "4a" << 0x4A;
        QTest::newRow("FF") << "ff" << 0xFF;
        QTest::newRow("not a digit counts 0") << "G1" << 0x01;
        QTest::newRow("nothing readable") << " -" << 0;
    }
    void hexPairValues()
    {
        QFETCH(QString, pair);
        QFETCH(int, value);
        QCOMPARE(int(hexPairValue(pair)), value);
    }

    void versionText_data()
    {
        QTest::addColumn<QString>("decodedLine");
        QTest::addColumn<bool>("isVersionRecord");
        QTest::addColumn<QString>("text");
        const auto line = [](const QByteArray& data) {
            return maker::plainRecordText({VersionAddress, 0, data, 1});
        };
        QTest::newRow("ends at FF")
            << line("QLREM ver1.07 US\xFF\x12") << true << "QLREM ver1.07 US";
        QTest::newRow("no FF: all data bytes, not the checksum")
            << line("QLMGR ver2.31 DE") << true << "QLMGR ver2.31 DE";
        QTest::newRow("FF first") << line("\xFFQL") << true << "";
        QTest::newRow("other address")
            << maker::plainRecordText({0x2FDE, 0, "xQLREM", 1}) << false << "";
        QTest::newRow("address in lower case") << line("QL").toLower() << false << "";
        QTest::newRow("end record") << ":00000001FF" << false << "";
    }
    void versionText()
    {
        QFETCH(QString, decodedLine);
        QFETCH(bool, isVersionRecord);
        QFETCH(QString, text);
        const std::optional<QString> found = versionTextOf(decodedLine);
        QCOMPARE(found.has_value(), isVersionRecord);
        if (found)
            QCOMPARE(*found, text);
    }

    void languageCodes_data()
    {
        QTest::addColumn<QString>("versionText");
        QTest::addColumn<QString>("code");
        QTest::newRow("management card") << "QLMGR ver2.31 US"
                                         << "US";
        QTest::newRow("remote card") << "QLREM ver1.07 DE"
                                     << "DE";
        QTest::newRow("VER in capitals, code as written") << "QLMGR VER2.31 fr"
                                                          << "fr";
        QTest::newRow("first ver counts") << "ver0.00 JP ver1.00 NL"
                                          << "JP";
        QTest::newRow("no ver") << "QLMGR 2.31 US"
                                << "";
        QTest::newRow("text ends early") << "QLMGR ver2.31 U"
                                         << "U";
        QTest::newRow("empty") << ""
                               << "";
    }
    void languageCodes()
    {
        QFETCH(QString, versionText);
        QFETCH(QString, code);
        QCOMPARE(languageCodeOf(versionText), code);
    }
};

QTEST_GUILESS_MAIN(HexRecordTest)
#include "tst_hexrecord.moc"
