#include "firmwaremaker.h"

#include "firmware/hexrecord.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <stdexcept>

namespace quorlink::firmware::maker {

namespace {

constexpr int AddressSpace = 0x10000;

QChar hexDigit(int value, LetterCase letterCase)
{
    const char* digits = letterCase == LetterCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    return QLatin1Char(digits[value & 0xF]);
}

void checkFits(std::uint16_t address, qsizetype size)
{
    if (address + size > AddressSpace)
        throw std::invalid_argument("segment runs past address 0xFFFF");
}

} // namespace

QString scrambledPair(std::uint8_t value, LetterCase letterCase)
{
    const QChar pair[] = {hexDigit(value % 16, letterCase), hexDigit(value / 16, letterCase)};
    return QString(pair, 2);
}

QString scrambleKey(std::uint8_t key, LetterCase letterCase)
{
    return scrambledPair(rotateRight2(key), letterCase);
}

QString scrambleByte(std::uint8_t byte, std::uint8_t key, LetterCase letterCase)
{
    return scrambledPair(static_cast<std::uint8_t>(rotateRight2(swapNibbles(byte)) ^ key),
                         letterCase);
}

std::uint8_t checksumOf(const DataRecord& record)
{
    unsigned sum = static_cast<unsigned>(record.data.size()) + (record.address >> 8) +
                   (record.address & 0xFF) + record.type;
    for (char byte : record.data)
        sum += static_cast<std::uint8_t>(byte);
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

namespace {

// Count, address high, address low, type, data, checksum.
QByteArray fieldBytes(const DataRecord& record)
{
    if (record.data.size() > FullRecordDataBytes)
        throw std::invalid_argument("a record holds at most 32 data bytes");
    QByteArray fields;
    fields.append(static_cast<char>(record.data.size()));
    fields.append(static_cast<char>(record.address >> 8));
    fields.append(static_cast<char>(record.address & 0xFF));
    fields.append(static_cast<char>(record.type));
    fields.append(record.data);
    fields.append(static_cast<char>(checksumOf(record)));
    return fields;
}

} // namespace

QString plainRecordText(const DataRecord& record)
{
    return u':' + QString::fromLatin1(fieldBytes(record).toHex().toUpper());
}

void Image::place(const Segment& segment)
{
    checkFits(segment.address, segment.bytes.size());
    const int start = segment.address;
    const int end = start + int(segment.bytes.size());
    QList<Segment> kept;
    for (const Segment& other : std::as_const(segments)) {
        const int otherStart = other.address;
        const int otherEnd = otherStart + int(other.bytes.size());
        if (otherEnd <= start || otherStart >= end) {
            kept.append(other);
            continue;
        }
        if (otherStart < start)
            kept.append({other.address, other.bytes.left(start - otherStart)});
        if (otherEnd > end)
            kept.append({static_cast<std::uint16_t>(end), other.bytes.mid(end - otherStart)});
    }
    kept.append(segment);
    std::sort(kept.begin(), kept.end(),
              [](const Segment& a, const Segment& b) { return a.address < b.address; });
    segments = kept;
}

QByteArray generatedBytes(int size, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(byte(random));
    return bytes;
}

Image makeImage(std::uint16_t baseAddress, int size, const QString& versionText, std::uint32_t seed)
{
    Image image;
    if (size > 0)
        image.place({baseAddress, generatedBytes(size, seed)});
    QByteArray version = versionText.toLatin1();
    version.append(static_cast<char>(VersionTextTerminator));
    image.place({VersionAddress, version});
    return image;
}

void markAsSample(Image& image, const QString& versionText)
{
    const int afterVersion = VersionAddress + int(versionText.toLatin1().size()) + 1;
    image.place({static_cast<std::uint16_t>(afterVersion),
                 QByteArray(SampleMarkText.data(), SampleMarkText.size())});
}

FirmwareMaker::FirmwareMaker(std::uint32_t seed) : m_random(seed) {}

std::uint8_t FirmwareMaker::chooseKey()
{
    if (m_fixedKey)
        return *m_fixedKey;
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 255)(m_random));
}

QChar FirmwareMaker::paddingDigit()
{
    return hexDigit(std::uniform_int_distribution<int>(0, 15)(m_random), m_letterCase);
}

QString FirmwareMaker::recordText(const DataRecord& record)
{
    QString text;
    text.reserve(RecordLength);
    text.append(u':');
    text.append(scrambleKey(record.key, m_letterCase));
    for (char byte : fieldBytes(record))
        text.append(scrambleByte(static_cast<std::uint8_t>(byte), record.key, m_letterCase));
    while (text.size() < RecordLength)
        text.append(paddingDigit());
    return text;
}

QList<DataRecord> FirmwareMaker::dataRecords(const Image& image)
{
    QList<DataRecord> records;
    for (const Segment& segment : image.segments) {
        checkFits(segment.address, segment.bytes.size());
        for (qsizetype offset = 0; offset < segment.bytes.size(); offset += FullRecordDataBytes) {
            DataRecord record;
            record.address = static_cast<std::uint16_t>(segment.address + offset);
            record.data = segment.bytes.mid(offset, FullRecordDataBytes);
            record.key = chooseKey();
            records.append(record);
        }
    }
    return records;
}

QStringList FirmwareMaker::imageRecordTexts(const Image& image)
{
    QStringList texts;
    for (const DataRecord& record : dataRecords(image))
        texts.append(recordText(record));
    return texts;
}

QString FirmwareMaker::paddedEndRecord()
{
    QString text = EndRecordText;
    while (text.size() < RecordLength)
        text.append(paddingDigit());
    return text;
}

QStringList FirmwareMaker::remoteRecordTexts(const Image& image)
{
    return imageRecordTexts(image) << QString(EndRecordText);
}

QStringList FirmwareMaker::managerRecordTexts(const Image& first, const Image& second)
{
    // Every record but the file's last fills a whole slot, the first
    // image's end record included.
    QStringList texts = imageRecordTexts(first);
    texts.append(paddedEndRecord());
    texts.append(imageRecordTexts(second));
    texts.append(QString(EndRecordText));
    return texts;
}

QByteArray FirmwareMaker::fileContents(const QStringList& recordTexts) const
{
    QByteArray contents;
    for (const QString& text : recordTexts) {
        contents.append(text.toLatin1());
        contents.append(m_lineEnd);
    }
    return contents;
}

QList<SampleFile> sampleFiles()
{
    return {
        {QStringLiteral("qdx_rem107_e.hex"), QStringLiteral("QLREM ver1.07 US"), false},
        {QStringLiteral("qdx_rem108_e.hex"), QStringLiteral("QLREM ver1.08 US"), false},
        {QStringLiteral("qdx_mgt231_us_e.hex"), QStringLiteral("QLMGR ver2.31 US"), true},
        {QStringLiteral("qdx_mgt231_de_e.hex"), QStringLiteral("QLMGR ver2.31 DE"), true},
        {QStringLiteral("qdx_mgt231_fr_e.hex"), QStringLiteral("QLMGR ver2.31 FR"), true},
    };
}

QStringList writeSampleFiles(const QString& folder)
{
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot create " + folder.toStdString());
    QStringList written;
    std::uint32_t seed = 1;
    for (const SampleFile& sample : sampleFiles()) {
        // Small images keep a simulated download short; each covers 0x2FDF,
        // so the version text sits inside the generated code.
        FirmwareMaker maker(seed);
        const auto image = [&sample](std::uint16_t base, int size, std::uint32_t imageSeed) {
            Image made = makeImage(base, size, sample.versionText, imageSeed);
            markAsSample(made, sample.versionText);
            return made;
        };
        const QByteArray contents =
            sample.manager
                ? maker.managerFile(image(0x2000, 0x1000, seed), image(0x2800, 0x0800, seed + 100))
                : maker.remoteFile(image(0x2000, 0x1000, seed));
        const QString path = QDir(folder).filePath(sample.fileName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(contents) != contents.size())
            throw std::runtime_error("cannot write " + path.toStdString());
        written.append(path);
        ++seed;
    }
    return written;
}

} // namespace quorlink::firmware::maker
