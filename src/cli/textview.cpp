#include "textview.h"

#include "link/protocol.h"

#include <QTextStream>

#include <algorithm>

namespace quorlink::cli {

namespace {

// The version run puts one of these before each reply.
const QString FirmwarePrefix = QStringLiteral(" F/W - ");
const QString HardwarePrefix = QStringLiteral(" H/W - ");

QString withoutPrefix(const QString& answer)
{
    for (const QString& prefix : {FirmwarePrefix, HardwarePrefix}) {
        if (answer.startsWith(prefix))
            return answer.mid(prefix.size());
    }
    return answer;
}

} // namespace

QString statusName(CardVersion::Status status)
{
    switch (status) {
    case CardVersion::Status::Ok:
        return QStringLiteral("ok");
    case CardVersion::Status::NotResponding:
        return QStringLiteral("not responding");
    case CardVersion::Status::NoReply:
        return QStringLiteral("no reply");
    case CardVersion::Status::NotQueried:
        break;
    }
    return QStringLiteral("not queried");
}

void ProgressLine::showStatus(const QString& text)
{
    if (text == m_status)
        return;
    m_status = text;
    draw();
}

void ProgressLine::showProgress(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    draw();
}

void ProgressLine::draw()
{
    // A run shows its bar before its first status: wait for the status.
    if (m_status.isEmpty())
        return;
    if (m_sink) {
        m_sink(m_status, m_value);
        return;
    }
    if (!m_enabled)
        return;
    // The idle status at 0 is the end of a run: nothing left to show.
    if (m_status == link::IdleStatusText && m_value == 0) {
        clear();
        return;
    }
    m_err << "\r" << QStringLiteral("%1% ").arg(m_value, 3) << m_status << "\x1b[K";
    m_err.flush();
    m_drawn = true;
}

void ProgressLine::clear()
{
    if (!m_drawn)
        return;
    m_err << "\r\x1b[K";
    m_err.flush();
    m_drawn = false;
}

void TextView::expectCards(const QList<int>& cards)
{
    m_cards.clear();
    for (const int card : cards)
        m_cards.append({card, {}, CardVersion::Status::NotQueried});
}

bool TextView::everyCardAnswered() const
{
    return std::all_of(m_cards.begin(), m_cards.end(), [](const CardVersion& card) {
        return card.status == CardVersion::Status::Ok ||
               card.status == CardVersion::Status::NotResponding;
    });
}

CardVersion* TextView::find(int card)
{
    const auto found = std::find_if(m_cards.begin(), m_cards.end(),
                                    [card](const CardVersion& entry) { return entry.card == card; });
    return found == m_cards.end() ? nullptr : &*found;
}

// A card being asked has no reply until its answer arrives.
void TextView::showManagerQueryStarting()
{
    showRemoteQueryStarting(link::protocol::ManagementCard);
}

void TextView::showRemoteQueryStarting(int card)
{
    if (CardVersion* entry = find(card))
        entry->status = CardVersion::Status::NoReply;
}

void TextView::appendVersionText(int card, const QString& answer)
{
    takeAnswer(card, answer);
}

void TextView::storeVersionText(int card, const QString& answer)
{
    takeAnswer(card, answer);
}

void TextView::takeAnswer(int card, const QString& answer)
{
    CardVersion* entry = find(card);
    if (!entry)
        return;
    entry->version = withoutPrefix(answer);
    entry->status = entry->version == link::protocol::NotResponding
                        ? CardVersion::Status::NotResponding
                        : CardVersion::Status::Ok;
}

} // namespace quorlink::cli
