// libFuzzer target: any bytes as a firmware file, read and checked as a
// remote card file; an input whose first byte is 0x01 is the rest read as a
// management card file. The reader must never crash, hang or read out of bounds, and what it
// accepts must be what a download can send.

#include "firmware/firmwarereader.h"
#include "firmware/hexrecord.h"
#include "sim/virtualclock.h"

#include <QBuffer>

namespace {

using namespace quorlink::firmware;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Every record but the image's last is sent as it stands.
void requireSendable(const QList<HexRecord>& records, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        const QStringView line = QStringView(records.at(i)).left(RecordLength);
        require(line.size() == RecordLength && isHexChar(line[0], true));
        for (qsizetype k = 1; k < line.size(); ++k)
            require(isHexChar(line[k], false));
        require(isEndRecord(line) || checkLineChecksum(descrambleRecord(line)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool manager = size > 0 && data[0] == 0x01;
    const CardKind kind = manager ? CardKind::Manager : CardKind::Remote;
    QByteArray contents(reinterpret_cast<const char*>(data + (manager ? 1 : 0)),
                        qsizetype(size - (manager ? 1 : 0)));

    quorlink::sim::VirtualClock time;
    FirmwareReader file;
    QBuffer device(&contents);
    device.open(QIODevice::ReadOnly);
    const FileOutcome outcome = file.readAndCheck(device, QStringLiteral("fuzz.hex"), kind, time);
    if (!outcome.ok()) {
        require(!outcome.text.isEmpty() && !outcome.title.isEmpty());
    } else {
        require(file.fileLength == contents.size());
        require(file.recordCount == file.fileRecords.size());
        require(isEndRecord(file.fileRecords.constLast()));
        if (kind == CardKind::Remote) {
            requireSendable(file.fileRecords, file.recordCount - 1);
        } else {
            require(file.firstImage.size() == file.firstImageEnd + 1);
            require(file.secondImage.size() == file.secondImageLast + 1);
            require(file.firstImage.size() + file.secondImage.size() == file.recordCount);
            requireSendable(file.firstImage, file.firstImageEnd);
            requireSendable(file.secondImage, file.secondImageLast);
        }
    }

    return 0;
}
