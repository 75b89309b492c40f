#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// The record format of firmware files. A file is Intel HEX text in which every
// data record carries one extra leading key byte and all its other bytes are
// scrambled with that key. Records are kept and sent exactly as stored; they
// are descrambled only to test their checksums and to find the version text.
namespace quorlink::firmware {

// One slot of a firmware file as read, one character per byte (codes 0..255):
// 79 characters for a whole slot (77 of record text, then CR LF), fewer for
// the last slot of a file.
using HexRecord = QString;

// Bytes per slot of the file: a 77-character record and CR LF.
inline constexpr int SlotLength = 79;
// Characters of a record that are used (tested and sent).
inline constexpr int RecordLength = 77;
// Data bytes of a full record: 13 + 2 x 32 = 77 characters.
inline constexpr int FullRecordDataBytes = 32;
inline constexpr QLatin1String EndRecordText{":00000001FF"};
// The descrambled address field of the record that holds the version text.
inline constexpr QLatin1String VersionRecordAddress{"2FDF"};
inline constexpr std::uint16_t VersionAddress = 0x2FDF;
// Ends the version text inside the version record's data.
inline constexpr std::uint8_t VersionTextTerminator = 0xFF;

// A record whose key characters (2-3) are "00" counts as an end record: it is
// neither descrambled nor checksum-tested.
bool isEndRecord(QStringView inputLine);

// The character test: ":" passes only when `colonAllowed`; "0"-"9", "a"-"f"
// and "A"-"F" pass; anything else, the empty string included, fails.
bool isHexChar(QStringView character, bool colonAllowed);
inline bool isHexChar(QChar character, bool colonAllowed);

// Value of one digit as descrambling and the checksum test read it: 0-9,
// a-f = 10-15, anything else its character code minus 55 (A-F = 10-15).
inline int digitValue(QChar character);

// 8-bit rotation left by two bits.
constexpr std::uint8_t rotateLeft2(std::uint8_t x)
{
    return static_cast<std::uint8_t>(((x * 4) % 256) + (x / 64));
}
constexpr std::uint8_t rotateRight2(std::uint8_t x)
{
    return static_cast<std::uint8_t>((x / 4) + ((x % 4) * 64));
}
constexpr std::uint8_t swapNibbles(std::uint8_t x)
{
    return static_cast<std::uint8_t>(((x % 16) * 16) + (x / 16));
}

// The value of a stored pair in the scrambled format, whose second character
// is the high nibble. Both characters must be hex digits.
std::uint8_t scrambledPairValue(QStringView pair);

// The key K of a record from its two key characters (positions 2-3).
std::uint8_t decodeKeyByte(QStringView keyChars);
// The byte a scrambled pair stands for, under key K.
std::uint8_t decodeDataByte(QStringView pair, std::uint8_t lineKey);
// 2 x n for the scrambled count pair (positions 4-5).
int decodeCountByte(QStringView countChars, std::uint8_t lineKey);

// The descrambled record text (DecodedLine): ":" and upper-case digit pairs
// for count, address, type, the n data bytes and the checksum (11 + 2n
// characters). An end record comes back as it stands. Empty when the record
// cannot be descrambled: a character of the key, count or the n + 4 pairs
// after them is no hex digit, or the line is too short for its count.
QString descrambleRecord(QStringView inputLine);

// The Intel HEX checksum test on a descrambled record: the last pair plus the
// sum of the pairs from position 2 up to the one before it is 0 mod 256.
bool checkLineChecksum(QStringView decodedLine);

// A byte from a two-character hex text as the version text is read: A-F/a-f
// are 10-15, digits their value, anything else 0.
std::uint8_t hexPairValue(QStringView pair);

// The version text held by a descrambled record that loads address 0x2FDF:
// its data bytes up to the first 0xFF, one character per byte. nullopt for
// any other record.
std::optional<QString> versionTextOf(QStringView decodedLine);
// The same as the reader uses it: true for the version record, whose text is
// then appended to `fileVersionText`.
bool findVersionRecord(QStringView decodedLine, QString& fileVersionText);

// The made-up images that make_firmware writes for trying the programs carry
// this text as the whole data of a record of its own, loaded just after the
// version text. The mark has to stay a valid record (the file still reads,
// checks and downloads as before) and be told from code cheaply: a record
// whose data begin with this 31-character sentence does not occur in real
// firmware by chance, and testing the start of each descrambled record costs
// nothing beside the checksum test.
inline constexpr QLatin1String SampleMarkText{"SAMPLE FOR THE SIMULATED SWITCH"};
// Whether the data of a descrambled data record begin with the sample mark.
bool carriesSampleMark(QStringView decodedLine);

namespace detail {
// Value of each hex digit character, -1 for every other character. Reading
// a file tests and converts every character, so this is a table.
struct HexDigitTable
{
    signed char value[128];
    constexpr HexDigitTable() : value{}
    {
        for (int c = 0; c < 128; ++c)
            value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                       : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                       : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                                              : static_cast<signed char>(-1);
    }
};
inline constexpr HexDigitTable hexDigits{};

inline int hexDigitValue(QChar character)
{
    const char16_t c = character.unicode();
    return c < 128 ? hexDigits.value[c] : -1;
}
} // namespace detail

inline bool isHexChar(QChar character, bool colonAllowed)
{
    if (character == u':')
        return colonAllowed;
    return detail::hexDigitValue(character) >= 0;
}

inline int digitValue(QChar character)
{
    const int value = detail::hexDigitValue(character);
    return value >= 0 ? value : int(character.unicode()) - 55;
}

} // namespace quorlink::firmware
