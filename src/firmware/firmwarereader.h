#pragma once

#include "hexrecord.h"

#include "platform/serialdevice.h"

#include <QList>
#include <QString>

#include <optional>

class QIODevice;

namespace quorlink {
class TimeSource;
}

namespace quorlink::firmware {

// Which card a firmware file is for; a management card file holds two images.
enum class CardKind
{
    Remote,
    Manager
};

// The file name (after the last "\" or "/") marks the kind of card in its
// characters 5 to 7, in any letter case: "qdx_mgt..." or "qdx_rem...".
bool fileNameMarks(const QString& path, QLatin1String mark);
// Manager when the name is marked "mgt", Remote otherwise.
CardKind cardKindOfFileName(const QString& path);

// How the check of a firmware file ends, with the message box the window
// shows for a failure (after a beep).
struct FileOutcome
{
    enum class Kind
    {
        Good,
        WrongChecksum,
        WrongCharacters,
        CannotRead,
        SampleOnSerialLine,
        WrongFileName,
        NotFound,
        UnknownLanguage
    };

    Kind kind = Kind::Good;
    QString text;
    QString title;
    int style = 0;

    bool ok() const { return kind == Kind::Good; }

    static FileOutcome good();
    // A record's checksum test failed while reading.
    static FileOutcome wrongChecksum();
    // A record holds a character that is no hex digit, or the file's records
    // do not make the images a download needs.
    static FileOutcome wrongCharacters();
    // The file could not be opened or read.
    static FileOutcome cannotRead(const QString& path);
    // A made-up sample file about to go to a device that may reach real cards.
    static FileOutcome sampleOnSerialLine();
    // The file's name is not marked for the chosen kind of card (no beep).
    static FileOutcome wrongFileName();
    // There is no file at `path` (no beep).
    static FileOutcome notFound(const QString& path);
    // A management card file whose version text names no known OSD language.
    static FileOutcome unknownLanguage();
};

// Whether the file's name is marked for `kind`: good, or wrongFileName().
FileOutcome checkFileName(const QString& path, CardKind kind);

// Reads and checks the chosen firmware file (the window's FirmwareFile path)
// and holds what the update needs of it: every slot unchanged (records are
// sent as stored), the version text, the progress fields and, for a
// management card file, its two images. The results stay until the next read;
// the images only until the next split.
class FirmwareReader
{
public:
    // Record counts are 16-bit; a file with more records cannot be read.
    static constexpr int MaxRecordCount = 32767;

    QList<HexRecord> fileRecords;
    int recordCount = 0;
    QString fileVersionText;
    // A record carries the sample mark: made-up data for the simulated switch.
    bool sampleMarked = false;
    qint64 fileLength = 0;
    float progressUnit = 0.0f; // characters per percent of progress
    double bytesSent = 0.0;

    QList<HexRecord> firstImage;  // its end record last
    int firstImageEnd = 0;        // index of that end record in fileRecords
    QList<HexRecord> secondImage; // the file's final end record last
    int secondImageLast = 0;      // index of that end record in secondImage

    // Reads every slot of the file, descrambles each data record to test its
    // checksum and takes the version text from the first record that loads
    // 0x2FDF. Yields to the event loop as it goes.
    FileOutcome readFirmwareFile(const QString& path, TimeSource& time);
    // The same from an open, readable device; `path` names it in messages.
    FileOutcome readFirmwareFile(QIODevice& device, const QString& path, TimeSource& time);

    // Splits a management card file after the first record that contains the
    // end record text. Returns false, leaving the images as they were, when
    // no record before the last one does.
    bool splitManagerFile(TimeSource& time);

    // Tests every character of the records that will be sent (all but each
    // image's end record), then that the records make the image(s) a download
    // needs.
    FileOutcome checkRecordCharacters(CardKind kind) const;

    // The whole file check of the Start command: read, split (management card
    // files), character check. Run-time errors become the read failure.
    FileOutcome readAndCheck(const QString& path, CardKind kind, TimeSource& time);
    FileOutcome readAndCheck(QIODevice& device, const QString& path, CardKind kind,
                             TimeSource& time);

    // Where the checked file may go: anywhere, unless it is a sample and the
    // port leads to a serial line (or is closed, so that nobody knows).
    // Real cards take a sample record by record and are then left without
    // working firmware.
    FileOutcome checkDestination(std::optional<DeviceReach> reach) const;

private:
    bool imagesHoldData(CardKind kind) const;

    // Set by a read whose file length is an exact multiple of the slot
    // length: its last slot is empty and holds no record.
    bool m_endsInEmptySlot = false;
    // The images were split from the records of the last read.
    bool m_imagesFromLastRead = false;
};

} // namespace quorlink::firmware
