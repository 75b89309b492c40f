#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quorlink::cli {

// Whether a list may name the management card together with remote cards.
enum class CardMix
{
    // The cards a command works on: as in the window, where selecting one
    // kind deselects the other, the management card (1) goes alone.
    ManagementAlone,
    // Cards of a (simulated) switch, which has both kinds.
    Both
};

// A LIST of cards as the commands take it: numbers 1 to 64, ranges and
// commas ("2-10,40"), or "all" for every remote card. Returns the cards in
// ascending order, each once, or nothing with `problem` set to a one-line
// reason.
std::optional<QList<int>> parseCardList(const QString& text, QString& problem,
                                        CardMix mix = CardMix::ManagementAlone);

// The other way round: ascending `cards` as a LIST, runs as ranges ("2-5,40").
QString cardListText(const QList<int>& cards);

} // namespace quorlink::cli
