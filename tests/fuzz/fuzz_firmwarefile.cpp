// libFuzzer target: any bytes as a firmware file, read and checked as a
// remote card file; an input whose first byte is 0x01 is the rest read as a
// management card file. The sample files make a good seed corpus as they are. The reader must never
// crash, hang or read out of bounds, and what it accepts must be what a
// download can send.

#include "firmware/firmwarereader.h"
#include "firmware/hexrecord.h"
#include "firmware/language.h"
#include "platform/timesource.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

using namespace quorlink::firmware;

// Time that never passes; the reader only yields.
class StillTime final : public quorlink::TimeSource
{
public:
    std::unique_ptr<quorlink::LinkTimer> createTimer() override { std::abort(); }
    void yield() override {}
    void waitForEvent() override { std::abort(); }
    void sleep(int) override {}
    std::int64_t nowMicroseconds() const override { return 0; }
    void wakeAt(std::int64_t) override {}
};

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool sendable(const HexRecord& record)
{
    const QStringView line = QStringView(record).left(RecordLength);
    if (line.size() != RecordLength || !isHexChar(line[0], true))
        return false;
    for (qsizetype i = 1; i < line.size(); ++i) {
        if (!isHexChar(line[i], false))
            return false;
    }
    return isEndRecord(line) || checkLineChecksum(descrambleRecord(line));
}

void checkAccepted(const FirmwareReader& file, CardKind kind, qsizetype size)
{
    require(file.fileLength == size);
    require(file.recordCount == file.fileRecords.size());
    require(isEndRecord(file.fileRecords.constLast()));
    if (kind == CardKind::Remote) {
        for (int i = 0; i + 1 < file.recordCount; ++i)
            require(sendable(file.fileRecords.at(i)));
        return;
    }
    require(file.firstImage.size() == file.firstImageEnd + 1);
    require(file.secondImage.size() == file.secondImageLast + 1);
    require(file.firstImage.size() + file.secondImage.size() == file.recordCount);
    for (int i = 0; i < file.firstImageEnd; ++i)
        require(sendable(file.firstImage.at(i)));
    for (int i = 0; i < file.secondImageLast; ++i)
        require(sendable(file.secondImage.at(i)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool manager = size > 0 && data[0] == 0x01;
    const CardKind kind = manager ? CardKind::Manager : CardKind::Remote;
    const std::size_t skip = manager ? 1 : 0;
    QByteArray contents(reinterpret_cast<const char*>(data + skip), qsizetype(size - skip));

    StillTime time;
    FirmwareReader file;
    QBuffer device(&contents);
    device.open(QIODevice::ReadOnly);
    const FileOutcome outcome = file.readAndCheck(device, QStringLiteral("fuzz.hex"), kind, time);
    if (outcome.ok())
        checkAccepted(file, kind, contents.size());
    else
        require(!outcome.text.isEmpty() && !outcome.title.isEmpty());

    // The record functions on their own, with the input as one line.
    const QString line = QString::fromLatin1(contents.left(RecordLength * 2));
    const QString decoded = descrambleRecord(line);
    if (!decoded.isEmpty() && !isEndRecord(line))
        require(decoded.size() % 2 == 1 && decoded.front() == u':');
    (void)checkLineChecksum(line);
    (void)versionTextOf(line);
    (void)languageCodeOf(line);
    (void)hexPairValue(line);
    return 0;
}
