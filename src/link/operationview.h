#pragma once

#include <QString>

#include <cstdint>

namespace quorlink::link {

// Colours as the progress bar takes them: 0x00BBGGRR.
namespace Colour {
inline constexpr std::uint32_t Black = 0x000000;
inline constexpr std::uint32_t White = 0xFFFFFF;
inline constexpr std::uint32_t Red = 0x0000FF;
inline constexpr std::uint32_t Yellow = 0x00FFFF;
inline constexpr std::uint32_t Blue = 0xFF0000;
} // namespace Colour

// The status panel's text when no operation runs.
inline const QString IdleStatusText = QStringLiteral("Status:");

// What a link operation (version run, reset, download, update run) shows
// while it runs, in the order it shows it. The operations live here, free of
// any window; the main window implements this with its lists, progress bar
// and status panel, the command-line tool with text. Both faces therefore
// put the same bytes on the wire. Messages to the user (the communication
// error, the verification error) go through Prompts, not through here.
//
// Each operation adds the steps it needs below its own heading; a face that
// has nothing to show for a step implements it as nothing.
class OperationView
{
public:
    virtual ~OperationView() = default;

    // --- Shared: status panel and progress bar --------------------------------
    virtual void showStatus(const QString& text) = 0;
    // The bar's value, 0..100.
    virtual void showProgress(int value) = 0;
    virtual void showProgressTextColour(std::uint32_t colour) = 0;
    virtual void showBarColours(std::uint32_t startColour, std::uint32_t endColour) = 0;
    // The window's return to its idle state, where an error handler asks for it.
    virtual void restoreIdleState() = 0;

    // --- Version run ------------------------------------------------------------
    // Cards are card numbers: 1 the management card, 2..64 the remote cards.
    // Before the first card: the cards' choice and the commands locked.
    virtual void lockForVersionRun() = 0;
    // The management card is about to be asked: its line back to plain text
    // and focused; Select All and Unselect All off.
    virtual void showManagerQueryStarting() = 0;
    // Remote card `card` is about to be asked: its line back to plain text
    // and focused, the other remote list without a focus item.
    virtual void showRemoteQueryStarting(int card) = 0;
    // Remote card `card` answered: the management list and the other remote
    // list lose their focus items.
    virtual void showRemoteAnswerArriving(int card) = 0;
    // The answer (" F/W - " or " H/W - " and the reply text) appended to the
    // card's line.
    virtual void appendVersionText(int card, const QString& answer) = 0;
    // Update mode: the card's line with `answer` (" F/W - " and the reply)
    // kept for the confirmation, the line itself unchanged.
    virtual void storeVersionText(int card, const QString& answer) = 0;
    // A remote card that answered stays chosen.
    virtual void keepCardSelected(int card) = 0;
    // A card that answered "Not responding" is no longer chosen.
    virtual void deselectCard(int card) = 0;
    // After a run outside update mode: the commands offered again for what is
    // still chosen.
    virtual void finishManagerVersionRun() = 0;
    virtual void finishRemoteVersionRun() = 0;
    // The end of every run, update mode included.
    virtual void endVersionRun() = 0;

    // --- Reset --------------------------------------------------------------------
    // Every reset ends here, acknowledged or not: Advanced mode off, the
    // normal commands offered again, no remote card marked for a reset.
    virtual void finishReset() = 0;

    // --- Download -------------------------------------------------------------
    // Before the address phase: the window takes no input while a card is written.
    virtual void downloadBegins() = 0;
    // The target acknowledged every record: version suffixes the lists show for
    // it no longer hold (target as passed to the download).
    virtual void downloadStored(int target) = 0;
    // Every way out of a download that did not end in a run-time error.
    virtual void downloadEnds() = 0;

    // --- Update run -----------------------------------------------------------
    // The run has begun: it is busy and takes no commands.
    virtual void updateRunBegins() = 0;
    virtual void managerRunBegins() = 0;
    virtual void remoteRunBegins() = 0;
    // The remote download is over, stored or not: the second remote list
    // without a focus item.
    virtual void remoteDownloadOver() = 0;
    // After the read-back or a failed download; the management card's run
    // then shows its hot-key message.
    virtual void managerRunEnds() = 0;
    virtual void remoteRunEnds() = 0;
    // The end of every run that got past its start.
    virtual void updateRunEnds() = 0;
};

// A face that shows nothing: the base of faces that show only a few steps
// (the command-line tool, the benchmarks), which override just those.
class SilentOperationView : public OperationView
{
public:
    void showStatus(const QString&) override {}
    void showProgress(int) override {}
    void showProgressTextColour(std::uint32_t) override {}
    void showBarColours(std::uint32_t, std::uint32_t) override {}
    void restoreIdleState() override {}
    void lockForVersionRun() override {}
    void showManagerQueryStarting() override {}
    void showRemoteQueryStarting(int) override {}
    void showRemoteAnswerArriving(int) override {}
    void appendVersionText(int, const QString&) override {}
    void storeVersionText(int, const QString&) override {}
    void keepCardSelected(int) override {}
    void deselectCard(int) override {}
    void finishManagerVersionRun() override {}
    void finishRemoteVersionRun() override {}
    void endVersionRun() override {}
    void finishReset() override {}
    void downloadBegins() override {}
    void downloadStored(int) override {}
    void downloadEnds() override {}
    void updateRunBegins() override {}
    void managerRunBegins() override {}
    void remoteRunBegins() override {}
    void remoteDownloadOver() override {}
    void managerRunEnds() override {}
    void remoteRunEnds() override {}
    void updateRunEnds() override {}
};

} // namespace quorlink::link
