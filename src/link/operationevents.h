#pragma once

#include <QList>
#include <QString>

namespace quorlink::link {

// What a run is, as its start and end report it.
enum class RunKind
{
    FirmwareVersions,  // a version query shown in the cards' lines
    HardwareVersions,  // the same, asking for the hardware version
    VersionsForUpdate, // firmware versions kept for the update's confirmation
    Reset,
    Update
};

// What a card's answer to a version query was.
enum class Answer
{
    Version,      // the card's version text
    NotResponding // the switch answered "Not responding" for it
};

// Where the run's progress stands. Starting, InProcess and Completed belong
// to what runs now (a version query, a reset, a download); Idle is the end
// of any of them. Programming is the update run's wait while the cards
// program what they received; Programmed puts the bar back to its normal
// look after it (also where no wait was needed).
enum class Stage
{
    Starting,
    InProcess,
    Completed,
    Idle,
    Programming,
    Programmed
};

enum class DownloadStage
{
    Begins, // before the address phase: nothing else may run meanwhile
    Stored, // the target acknowledged every record
    Ends,   // every way out that was not a run-time error
    Over    // the update run is past a remote download, stored or not
};

// What a link operation (version run, reset, download, update run) reports
// while it runs, in its own words and in the order it happens. The
// operations decide the timing (pauses and yields) between the reports; a
// face (the window, the command-line tool) turns them into what it shows,
// and may show nothing for any of them. Messages to the user go through
// Prompts, not through here.
class OperationEvents
{
public:
    virtual ~OperationEvents() = default;

    // Cards are card numbers: 1 the management card, 2..64 the remote cards.
    virtual void runStarts(RunKind, const QList<int>& /*cards*/) {}
    // A version query is about to ask `card`.
    virtual void cardAsked(int /*card*/) {}
    // `reply` as the card sent it, without anything put in front.
    virtual void cardAnswered(int /*card*/, Answer, const QString& /*reply*/) {}
    // After its answer, the card stays chosen or (not responding) is dropped.
    virtual void cardKept(int /*card*/, bool /*kept*/) {}
    // The bar's value, 0..100.
    virtual void progress(int /*value*/) {}
    virtual void stageReached(Stage) {}
    // The bar's fill has reached its text (light), or the bar starts over
    // (dark).
    virtual void progressTextLight(bool /*light*/) {}
    // `target` as passed to the download.
    virtual void downloadStage(DownloadStage, int /*target*/) {}
    // A run-time error broke off an exchange (the port gone, say): the face
    // returns to rest.
    virtual void runInterrupted() {}
    // The run's work is done: whether every card answered, acknowledged or
    // stored.
    virtual void runOutcome(RunKind, bool /*succeeded*/) {}
    // The last report of every run that got past its start.
    virtual void runEnds(RunKind) {}
};

} // namespace quorlink::link
