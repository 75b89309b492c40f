#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

namespace quorlink::link {

class Link;
class OperationEvents;

// Download targets besides the card numbers 1 (management card) and 2..64.
namespace DownloadTarget {
inline constexpr int ManagementCard = 1;
inline constexpr int AllRemoteCards = 127;
inline constexpr int FlaggedGroup = 128;
} // namespace DownloadTarget

// The remote cards chosen for a group download, index card number - 2.
using RemoteCardFlags = std::array<bool, 64>;

// Progress over the downloads of one update run: characters of record text
// sent, characters per percent, and the percentage the bar shows (rounded).
struct DownloadProgress
{
    double bytesSent = 0;
    float progressUnit = 1; // single precision, as the bar's scale was always kept
    double progressPercent = 0;

    int barValue() const;
    void addCharacters(int count);
};

inline constexpr int CreepSteps = 10;

// The management card's creep: ten steps of the bar on from the progress, one
// per tick of Timer2, which runs at `stepMs` afterwards; the progress itself
// is unchanged. With `lightText` the bar's text turns light above 52 %.
void creepBar(Link& link, OperationEvents& events, const DownloadProgress& progress, int stepMs,
              bool lightText);

// Sends one firmware image to one target: addresses it, waits for it to
// report ready, sends the records one at a time with acknowledgement, and
// reports the outcome. The records go as stored (still scrambled), one
// character per write, and the image always ends with ":00000001FF".
// Verification is the card's: a record it refuses five times, or a download
// it aborts, is a "Verification Error"; silence or stray bytes are a
// "Communication Error". Its progress and stages are reported as events.
class FirmwareDownload
{
public:
    static constexpr int MaxAttempts = 5;
    static constexpr int ReadyTimeoutMs = 1000;
    // A noisy line would otherwise keep the disabled window waiting for ever:
    // every read that does not begin with "R" starts the 1000 ms anew, but
    // after this many restarts the card counts as not answering.
    static constexpr int MaxReadyRestarts = 10;
    static constexpr int StoreCreepMs = 200;

    FirmwareDownload(Link& link, OperationEvents& events);

    // `records` as the file holds them; every record but the last is sent
    // (its first 77 characters), then the end record. `groupFlags` is read
    // for the flagged group. Returns (and leaves in the link's
    // replyReceived) whether the target acknowledged every record.
    bool downloadToCard(int target, const QStringList& records, const RemoteCardFlags& groupFlags,
                        DownloadProgress& progress);

    // Sends `line` and waits for its acknowledgement, up to five attempts
    // shared by timeouts, refusals and other bytes. Sets replyReceived and
    // verifyFailed.
    void sendRecord(const QString& line, const DownloadProgress& progress);

    bool verifyFailed = false;

private:
    void run(int target, const QStringList& records, const RemoteCardFlags& groupFlags,
             DownloadProgress& progress);
    void addressPhase(int target, const RemoteCardFlags& groupFlags);
    bool awaitReady();
    enum class RecordReply
    {
        Timeout,
        Byte
    };
    RecordReply awaitRecordReply(QByteArray& reply);
    void transmit(const QString& line);
    bool sendData(int target, const QStringList& records, DownloadProgress& progress);
    void showRecordProgress(const DownloadProgress& progress);
    void failed();
    void succeeded(int target, const DownloadProgress& progress);

    Link& m_link;
    OperationEvents& m_events;
};

} // namespace quorlink::link
