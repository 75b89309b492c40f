#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace quorlink::link {

class Link;
class OperationEvents;
enum class RunKind;

// What a command works on, chosen from the selections: a remote selection
// always wins over the management card.
enum class Scope
{
    None = 0,
    RemoteCards = 1,          // List1(2) has a selection
    SecondRemoteListOnly = 2, // only List1(3) has one
    ManagementCard = 4,
};

// The version run: asks each chosen card for its firmware or hardware
// version, one card after the other, and reports its progress and each
// answer. The run stops at the first card that
// gives no complete reply; a card that answers "Not responding" is no longer
// chosen, and the run goes on. In update mode the answers are kept for the
// update's confirmation (always as firmware versions): no card is dropped.
//
// The caller holds the link's Operation and hands over the chosen remote
// cards; the run needs nothing of a window.
class VersionRun
{
public:
    struct Options
    {
        bool hardware = false;   // ask for the hardware version (0x12)
        bool updateMode = false; // keep the answers for the update's confirmation
    };

    VersionRun(Link& link, OperationEvents& events, Options options);

    // Scope 4: the management card. Scope 1 or 2: `remoteCards` (card
    // numbers 2..64, ascending). Scope 0 does nothing. Afterwards
    // link.replyReceived is False, except in update mode, where it tells
    // whether the last card asked gave a reply.
    void getVersions(Scope scope, const QList<int>& remoteCards);

    std::uint8_t command() const;
    // What the run reports itself as: the hardware version only outside
    // update mode.
    RunKind kind() const;

private:
    // One request and reply with `card` and the bookkeeping of its answer;
    // link.replyReceived tells whether it answered. A run-time error (the
    // port gone) ends the exchange: the communication error once per run
    // when the device has vanished, the face back at rest, and
    // replyReceived False, so a run stops there.
    void queryCardVersion(int card);
    void runManagementCard();
    void runRemoteCards(const QList<int>& cards);
    void takeAnswer(int card, const QString& reply);

    Link& m_link;
    OperationEvents& m_events;
    Options m_options;
    int m_errorsBefore;
};

} // namespace quorlink::link
