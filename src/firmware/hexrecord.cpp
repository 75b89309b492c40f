#include "hexrecord.h"

#include <QByteArray>

namespace quorlink::firmware {

namespace {

constexpr char UpperHexDigits[] = "0123456789ABCDEF";

// Position p of the record text, counting from 1 as the format does.
QChar at(QStringView text, qsizetype position)
{
    return text[position - 1];
}

bool allHexDigits(QStringView text)
{
    for (QChar c : text) {
        if (!isHexChar(c, false))
            return false;
    }
    return true;
}

// The value of a pair read in the usual order (first character high).
int usualPairValue(QStringView text, qsizetype position)
{
    return 16 * digitValue(at(text, position)) + digitValue(at(text, position + 1));
}

QChar* writeByteDigits(QChar* out, std::uint8_t byte)
{
    *out++ = QLatin1Char(UpperHexDigits[byte / 16]);
    *out++ = QLatin1Char(UpperHexDigits[byte % 16]);
    return out;
}

} // namespace

bool isEndRecord(QStringView inputLine)
{
    return inputLine.size() >= 3 && inputLine[1] == u'0' && inputLine[2] == u'0';
}

bool isHexChar(QStringView character, bool colonAllowed)
{
    // The test looks at one character; an empty string is no hex digit.
    return !character.isEmpty() && isHexChar(character.front(), colonAllowed);
}

std::uint8_t scrambledPairValue(QStringView pair)
{
    return static_cast<std::uint8_t>(16 * digitValue(pair[1]) + digitValue(pair[0]));
}

std::uint8_t decodeKeyByte(QStringView keyChars)
{
    // The key byte itself is only rotated, never XORed.
    return rotateLeft2(scrambledPairValue(keyChars));
}

std::uint8_t decodeDataByte(QStringView pair, std::uint8_t lineKey)
{
    const std::uint8_t z = rotateLeft2(scrambledPairValue(pair) ^ lineKey);
    return swapNibbles(z);
}

int decodeCountByte(QStringView countChars, std::uint8_t lineKey)
{
    return 2 * decodeDataByte(countChars, lineKey);
}

QString descrambleRecord(QStringView inputLine)
{
    if (isEndRecord(inputLine))
        return inputLine.toString();
    // Key and count come first; together they tell how far the record goes.
    if (inputLine.size() < 5 || !allHexDigits(inputLine.mid(1, 4)))
        return {};
    const std::uint8_t lineKey = decodeKeyByte(inputLine.mid(1, 2));
    const int dataDigits = decodeCountByte(inputLine.mid(3, 2), lineKey);
    // Address high, address low, type, the data bytes and the checksum.
    const qsizetype lastPosition = dataDigits + 13;
    if (inputLine.size() < lastPosition || !allHexDigits(inputLine.mid(5, lastPosition - 5)))
        return {};

    QString decodedLine(lastPosition - 2, Qt::Uninitialized);
    QChar* out = decodedLine.data();
    *out++ = u':';
    out = writeByteDigits(out, static_cast<std::uint8_t>(dataDigits / 2));
    for (qsizetype position = 6; position <= lastPosition - 1; position += 2)
        out = writeByteDigits(out, decodeDataByte(inputLine.sliced(position - 1, 2), lineKey));
    return decodedLine;
}

bool checkLineChecksum(QStringView decodedLine)
{
    const qsizetype length = decodedLine.size();
    if (length < 3)
        return false;
    const int checksum = usualPairValue(decodedLine, length - 1);
    int sum = 0;
    for (qsizetype position = 2; position <= length - 3; position += 2)
        sum += usualPairValue(decodedLine, position);
    // Digit values of characters that are no hex digits can be negative;
    // only an exact multiple of 256 passes.
    return (sum + checksum) % 256 == 0;
}

std::uint8_t hexPairValue(QStringView pair)
{
    auto nibble = [](QChar character) -> int {
        const char16_t c = character.unicode();
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        return 0;
    };
    const int high = pair.size() > 0 ? nibble(pair[0]) : 0;
    const int low = pair.size() > 1 ? nibble(pair[1]) : 0;
    return static_cast<std::uint8_t>(16 * high + low);
}

std::optional<QString> versionTextOf(QStringView decodedLine)
{
    if (decodedLine.mid(3, 4) != VersionRecordAddress)
        return std::nullopt;
    QString text;
    // Data bytes start at position 10; the last pair (the checksum) is left out.
    for (qsizetype position = 10; position <= decodedLine.size() - 2; position += 2) {
        const QStringView pair = decodedLine.mid(position - 1, 2);
        if (pair == QLatin1String("FF"))
            break;
        text.append(QChar(hexPairValue(pair)));
    }
    return text;
}

bool findVersionRecord(QStringView decodedLine, QString& fileVersionText)
{
    const std::optional<QString> text = versionTextOf(decodedLine);
    if (text)
        fileVersionText += *text;
    return text.has_value();
}

bool carriesSampleMark(QStringView decodedLine)
{
    static const QString markDigits = QString::fromLatin1(
        QByteArray(SampleMarkText.data(), SampleMarkText.size()).toHex().toUpper());
    // ":", count, address and type come before the data.
    constexpr qsizetype DataStart = 9;
    return decodedLine.size() >= DataStart + markDigits.size() + 2 &&
           decodedLine.sliced(DataStart, markDigits.size()) == markDigits;
}

} // namespace quorlink::firmware
