#include "firmwarereader.h"

#include "logging.h"
#include "platform/prompts.h"
#include "platform/runtimeerror.h"
#include "platform/timesource.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace quorlink::firmware {

namespace {

// Classic run-time error numbers for what can go wrong while reading.
constexpr int OverflowError = 6;
constexpr int DeviceIoError = 57;

// Fills one slot; fewer bytes than a slot only at the end of the file.
qint64 readSlot(QIODevice& device, char* slot, const QString& path)
{
    qint64 filled = 0;
    while (filled < SlotLength) {
        const qint64 got = device.read(slot + filled, SlotLength - filled);
        if (got < 0)
            throw RuntimeError(
                DeviceIoError,
                QStringLiteral("Cannot read %1: %2").arg(path, device.errorString()));
        if (got == 0)
            break;
        filled += got;
    }
    return filled;
}

// The characters of a record that are tested and sent.
QStringView inputLineOf(const HexRecord& record)
{
    return QStringView(record).left(RecordLength);
}

bool charactersPass(const HexRecord& record)
{
    const QStringView line = inputLineOf(record);
    if (line.size() < RecordLength || !isHexChar(line[0], true))
        return false;
    for (qsizetype i = 1; i < RecordLength; ++i) {
        if (!isHexChar(line[i], false))
            return false;
    }
    return true;
}

// Every record but the last of `records[0 .. count]`, as the check and the
// download take them.
bool allCharactersPass(const QList<HexRecord>& records, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!charactersPass(records.at(i)))
            return false;
    }
    return true;
}

bool holdsDataRecord(const QList<HexRecord>& records, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!isEndRecord(inputLineOf(records.at(i))))
            return true;
    }
    return false;
}

} // namespace

bool fileNameMarks(const QString& path, QLatin1String mark)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    const QStringView name = QStringView(path).mid(slash + 1);
    return name.mid(4, 3).compare(mark, Qt::CaseInsensitive) == 0;
}

CardKind cardKindOfFileName(const QString& path)
{
    return fileNameMarks(path, QLatin1String("mgt")) ? CardKind::Manager : CardKind::Remote;
}

FileOutcome FileOutcome::good()
{
    return {};
}

FileOutcome FileOutcome::wrongChecksum()
{
    return {Kind::WrongChecksum, QStringLiteral("File is in wrong hex format!"),
            QStringLiteral("File Error"), MessageStyle::CriticalOk};
}

FileOutcome FileOutcome::wrongCharacters()
{
    return {Kind::WrongCharacters, QStringLiteral("File is in wrong hex format"),
            QStringLiteral("File Error"), MessageStyle::CriticalOk};
}

FileOutcome FileOutcome::cannotRead(const QString& path)
{
    return {Kind::CannotRead, QStringLiteral("Cannot read ") + path,
            QStringLiteral("Disk Drive Error"), MessageStyle::CriticalOk};
}

FileOutcome FileOutcome::sampleOnSerialLine()
{
    return {Kind::SampleOnSerialLine,
            QStringLiteral("This is a sample file made for the simulated switch; it is not "
                           "firmware for a real switch."),
            QStringLiteral("File Error"), MessageStyle::CriticalOk};
}

FileOutcome FileOutcome::wrongFileName()
{
    return {Kind::WrongFileName, QStringLiteral("You have selected wrong file"),
            QStringLiteral("File Error"), MessageStyle::ExclamationOk};
}

FileOutcome FileOutcome::notFound(const QString& path)
{
    return {Kind::NotFound, QStringLiteral("File ") + path + QStringLiteral(" not found"),
            QStringLiteral("File Error"), MessageStyle::CriticalOk};
}

FileOutcome FileOutcome::unknownLanguage()
{
    FileOutcome outcome = wrongChecksum(); // the same message box
    outcome.kind = Kind::UnknownLanguage;
    return outcome;
}

FileOutcome checkFileName(const QString& path, CardKind kind)
{
    const QLatin1String mark{kind == CardKind::Manager ? "mgt" : "rem"};
    return fileNameMarks(path, mark) ? FileOutcome::good() : FileOutcome::wrongFileName();
}

FileOutcome FirmwareReader::readFirmwareFile(const QString& path, TimeSource& time)
{
    // Only a regular file (a link to one counts) is read: opening a named
    // pipe waits for a writer that may never come, and a device never ends.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw RuntimeError(RuntimeError::PathAccess,
                           QStringLiteral("Cannot open %1: not a regular file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const int code = file.exists() ? RuntimeError::PathAccess : RuntimeError::FileNotFound;
        throw RuntimeError(code,
                           QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    }
    return readFirmwareFile(file, path, time);
}

FileOutcome FirmwareReader::readFirmwareFile(QIODevice& device, const QString& path,
                                             TimeSource& time)
{
    recordCount = 0;
    fileLength = device.size();
    progressUnit = static_cast<float>(fileLength) / 100.0f;
    bytesSent = 0.0;
    fileVersionText.clear();
    sampleMarked = false;
    fileRecords.clear();
    m_endsInEmptySlot = false;
    m_imagesFromLastRead = false;
    bool versionFound = false;

    char slot[SlotLength];
    for (;;) {
        if (recordCount == MaxRecordCount)
            throw RuntimeError(OverflowError,
                               QStringLiteral("%1 holds too many records").arg(path));
        const qint64 filled = readSlot(device, slot, path);
        fileRecords.append(QString::fromLatin1(slot, filled));
        ++recordCount;
        if (filled == 0) {
            // The file ended exactly at a slot boundary: there is no record here.
            m_endsInEmptySlot = true;
            break;
        }

        const QStringView inputLine = inputLineOf(fileRecords.constLast());
        QString decodedLine;
        if (isEndRecord(inputLine)) {
            decodedLine = inputLine.toString();
        } else {
            decodedLine = descrambleRecord(inputLine);
            if (!checkLineChecksum(decodedLine)) {
                qCDebug(lcFirmware)
                    << "checksum test failed in record" << recordCount << "of" << path;
                return FileOutcome::wrongChecksum();
            }
            sampleMarked = sampleMarked || carriesSampleMark(decodedLine);
        }
        // The first record that loads 0x2FDF holds the version text.
        if (!versionFound)
            versionFound = findVersionRecord(decodedLine, fileVersionText);
        // One yield per record keeps the window painting; a record takes
        // microseconds, so yielding within it would only cost time.
        time.yield();
        if (filled < SlotLength)
            break;
    }
    time.yield();
    return FileOutcome::good();
}

bool FirmwareReader::splitManagerFile(TimeSource& time)
{
    int end = -1;
    for (int i = 0; i <= recordCount - 2; ++i) {
        if (fileRecords.at(i).contains(EndRecordText)) {
            end = i;
            break;
        }
        time.yield();
    }
    if (end < 0)
        return false;

    firstImageEnd = end;
    firstImage.clear();
    for (int i = 0; i <= end; ++i) {
        firstImage.append(fileRecords.at(i));
        time.yield();
    }
    secondImageLast = recordCount - end - 2;
    secondImage.clear();
    for (int i = end + 1; i < recordCount; ++i) {
        secondImage.append(fileRecords.at(i));
        time.yield();
    }
    m_imagesFromLastRead = true;
    return true;
}

bool FirmwareReader::imagesHoldData(CardKind kind) const
{
    if (kind == CardKind::Manager)
        return holdsDataRecord(firstImage, firstImageEnd) &&
               holdsDataRecord(secondImage, secondImageLast);
    return holdsDataRecord(fileRecords, recordCount - 1);
}

FileOutcome FirmwareReader::checkRecordCharacters(CardKind kind) const
{
    // A management card file needs both images; without the split there is
    // only what an earlier file left behind.
    if (kind == CardKind::Manager && !m_imagesFromLastRead)
        return FileOutcome::wrongCharacters();

    const bool charactersGood = kind == CardKind::Manager
                                    ? allCharactersPass(firstImage, firstImageEnd) &&
                                          allCharactersPass(secondImage, secondImageLast)
                                    : allCharactersPass(fileRecords, recordCount - 1);
    if (!charactersGood)
        return FileOutcome::wrongCharacters();

    // The download replaces the last record by the end record text, so a
    // file that does not end in one would lose its last data record. An
    // empty last slot, or no data record at all, leaves nothing to send.
    if (m_endsInEmptySlot || fileRecords.isEmpty() ||
        !isEndRecord(inputLineOf(fileRecords.constLast())) || !imagesHoldData(kind))
        return FileOutcome::wrongCharacters();
    return FileOutcome::good();
}

FileOutcome FirmwareReader::checkDestination(std::optional<DeviceReach> reach) const
{
    if (sampleMarked && reach.value_or(DeviceReach::SerialLine) == DeviceReach::SerialLine)
        return FileOutcome::sampleOnSerialLine();
    return FileOutcome::good();
}

namespace {

template <typename Read>
FileOutcome checkedRead(FirmwareReader& file, const QString& path, CardKind kind, TimeSource& time,
                        Read read)
{
    try {
        const FileOutcome outcome = read();
        if (!outcome.ok())
            return outcome;
        if (kind == CardKind::Manager)
            file.splitManagerFile(time);
        return file.checkRecordCharacters(kind);
    } catch (const RuntimeError& error) {
        qCDebug(lcFirmware) << "read failure:" << error.message();
        return FileOutcome::cannotRead(path);
    }
}

} // namespace

FileOutcome FirmwareReader::readAndCheck(const QString& path, CardKind kind, TimeSource& time)
{
    return checkedRead(*this, path, kind, time, [&] { return readFirmwareFile(path, time); });
}

FileOutcome FirmwareReader::readAndCheck(QIODevice& device, const QString& path, CardKind kind,
                                         TimeSource& time)
{
    return checkedRead(*this, path, kind, time,
                       [&] { return readFirmwareFile(device, path, time); });
}

} // namespace quorlink::firmware
