#include "cardlist.h"

#include "link/protocol.h"

#include <QStringList>

#include <algorithm>

namespace quorlink::cli {

namespace protocol = link::protocol;

namespace {

std::optional<int> cardNumber(const QString& text)
{
    bool numeric = false;
    const int number = text.trimmed().toInt(&numeric);
    if (!numeric || number < protocol::ManagementCard || number > protocol::LastRemoteCard)
        return std::nullopt;
    return number;
}

// Adds one comma-separated item; false when it is not a card, a range or "all".
bool addItem(const QString& item, QList<int>& cards)
{
    if (item.trimmed().compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        for (int card = protocol::FirstRemoteCard; card <= protocol::LastRemoteCard; ++card)
            cards.append(card);
        return true;
    }
    const QStringList bounds = item.split(QLatin1Char('-'));
    if (bounds.size() > 2)
        return false;
    const std::optional<int> first = cardNumber(bounds.first());
    const std::optional<int> last = cardNumber(bounds.last());
    if (!first || !last || *first > *last)
        return false;
    for (int card = *first; card <= *last; ++card)
        cards.append(card);
    return true;
}

} // namespace

std::optional<QList<int>> parseCardList(const QString& text, QString& problem, CardMix mix)
{
    QList<int> cards;
    for (const QString& item : text.split(QLatin1Char(','))) {
        if (!addItem(item, cards)) {
            problem = QStringLiteral("\"%1\" in the card list \"%2\" is not a card from 1 to 64, a "
                                     "range such as 2-10, or all")
                          .arg(item.trimmed(), text);
            return std::nullopt;
        }
    }
    std::sort(cards.begin(), cards.end());
    cards.erase(std::unique(cards.begin(), cards.end()), cards.end());
    if (mix == CardMix::ManagementAlone && cards.size() > 1 &&
        cards.first() == protocol::ManagementCard) {
        problem = QStringLiteral("the management card (1) cannot be taken together with remote "
                                 "cards");
        return std::nullopt;
    }
    return cards;
}

QString cardListText(const QList<int>& cards)
{
    QStringList items;
    for (qsizetype first = 0; first < cards.size();) {
        qsizetype last = first;
        while (last + 1 < cards.size() && cards[last + 1] == cards[last] + 1)
            ++last;
        items << (last == first ? QString::number(cards[first])
                                : QStringLiteral("%1-%2").arg(cards[first]).arg(cards[last]));
        first = last + 1;
    }
    return items.join(QLatin1Char(','));
}

} // namespace quorlink::cli
