#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace quorlink::link {

class Link;
class OperationEvents;

// Which cards a reset restarts, chosen from the selections: a remote
// selection always wins over the management card.
enum class ResetMode
{
    None = 0,
    ManagementCard = 1,
    RemoteCards = 2,          // List1(2) has a selection
    SecondRemoteListOnly = 3, // only List1(3) has one
};

// The card reset: writes the reset frames of the chosen cards, waits once for
// the acknowledgement and runs a short timed animation of the progress.
// Every way out, errors included, ends with the outcome reported, both
// timers at rest and the bytes
// still waiting discarded, so that a late acknowledgement cannot turn up at
// the front of the next exchange's reply.
//
// The caller holds the link's Operation and hands over the chosen remote
// cards; the run needs nothing of a window.
class ResetRun
{
public:
    ResetRun(Link& link, OperationEvents& events);

    // Mode 1: the management card. Modes 2 and 3: `remoteCards` (card
    // numbers, ascending): one card by its own address, all
    // `listedRemoteCards` at once by 0xFF, any other set one frame per card.
    // Any other mode only finishes. Returns whether the cards acknowledged.
    bool resetCards(ResetMode mode, const QList<int>& remoteCards, int listedRemoteCards);

    // The seven letters written before every reset address byte.
    static QByteArray signature();

private:
    void sendManagementFrame();
    void sendFrameTo(std::uint8_t address);
    void sendFramesTo(const QList<int>& cards);
    void closeRemoteFrames();
    void showAnimation();
    void finish(bool acknowledged);

    Link& m_link;
    OperationEvents& m_events;
};

} // namespace quorlink::link
