#include "textview.h"

#include <QTextStream>

#include <algorithm>

namespace quorlink::cli {

namespace {

// The window's status texts, so that a terminal shows what its status panel
// shows: Starting, InProcess and Completed of each kind of run.
constexpr const char* VersionTexts[] = {"Status: Getting version",
                                        "Status: Getting version in process ...",
                                        "Status: Getting version completed"};
constexpr const char* ResetTexts[] = {"Status: Reset", "Status: Reset in process ...",
                                      "Status: Reset completed"};
constexpr const char* DownloadTexts[] = {"Status: Updating begins",
                                         "Status: Updating in process ...",
                                         "Status: Updating completed"};
const QString IdleStatusText = QStringLiteral("Status:");

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
    // The idle status at 0 is the end of a run: nothing left to show.
    const bool idle = m_status == IdleStatusText && m_value == 0;
    if (m_sink) {
        m_sink(idle ? QString() : m_status, m_value);
        return;
    }
    if (!m_enabled)
        return;
    if (idle) {
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

void TextView::runStarts(link::RunKind kind, const QList<int>&)
{
    if (kind == link::RunKind::Reset)
        m_stageTexts = ResetTexts;
    else if (kind != link::RunKind::Update)
        m_stageTexts = VersionTexts;
}

// A card being asked has no reply until its answer arrives.
void TextView::cardAsked(int card)
{
    if (CardVersion* entry = find(card))
        entry->status = CardVersion::Status::NoReply;
}

void TextView::cardAnswered(int card, link::Answer answer, const QString& reply)
{
    CardVersion* entry = find(card);
    if (!entry)
        return;
    entry->version = reply;
    entry->status = answer == link::Answer::NotResponding ? CardVersion::Status::NotResponding
                                                          : CardVersion::Status::Ok;
}

void TextView::stageReached(link::Stage stage)
{
    switch (stage) {
    case link::Stage::Starting:
    case link::Stage::InProcess:
    case link::Stage::Completed:
        if (m_stageTexts)
            m_progress.showStatus(QString::fromLatin1(m_stageTexts[static_cast<int>(stage)]));
        break;
    case link::Stage::Idle:
        m_progress.showStatus(IdleStatusText);
        break;
    case link::Stage::Programming:
        m_progress.showStatus(QStringLiteral("Please wait..."));
        break;
    case link::Stage::Programmed:
        break;
    }
}

void TextView::downloadStage(link::DownloadStage stage, int)
{
    if (stage == link::DownloadStage::Begins)
        m_stageTexts = DownloadTexts;
    else if (stage == link::DownloadStage::Stored)
        ++m_imagesStored;
}

} // namespace quorlink::cli
