#pragma once

#include "link/operationevents.h"

#include <QList>
#include <QString>

#include <functional>

class QJsonArray;
class QTextStream;

namespace quorlink::cli {

// What became of one card in a version query.
struct CardVersion
{
    enum class Status
    {
        Ok,            // it answered with its version
        NotResponding, // the switch answered "Not responding" for it
        NoReply,       // it was asked and gave no complete reply
        NotQueried     // the run stopped before it
    };
    int card = 0;
    QString version; // the reply, without the " F/W - " or " H/W - " in front
    Status status = Status::NotQueried;
};

QString statusName(CardVersion::Status status);

// The cards as --json gives them: [{"card", "version", "status"}], the
// version null unless the card answered with one.
QJsonArray cardVersionsJson(const QList<CardVersion>& cards);
// One line per card: "card  5: F/W - QLREM ver1.07 US", or its status.
void printCardVersions(QTextStream& out, const QList<CardVersion>& cards, const QString& prefix);

// The status line and bar of a run on one line of a terminal, rewritten in
// place. Off (nothing written) when the stream is not a terminal, so that
// logs and pipes get no progress.
class ProgressLine
{
public:
    // Gets the status and bar value in place of the terminal; the status
    // empty once a run has ended.
    using Sink = std::function<void(const QString& status, int value)>;

    ProgressLine(QTextStream& err, bool enabled) : m_err(err), m_enabled(enabled) {}
    // A switch of several: its progress goes to the display of them all.
    void setSink(Sink sink) { m_sink = std::move(sink); }
    void showStatus(const QString& text);
    void showProgress(int value);
    // Empties the line, so that a message starts at its beginning.
    void clear();

private:
    void draw();

    QTextStream& m_err;
    bool m_enabled;
    Sink m_sink;
    bool m_drawn = false;
    QString m_status;
    int m_value = 0;
};

// The tool's face of the link operations: the progress on a ProgressLine and,
// for the version query, what each card answered.
class TextView : public link::OperationEvents
{
public:
    explicit TextView(ProgressLine& progress) : m_progress(progress) {}

    // The cards a version query is about to ask, all "not queried" so far.
    void expectCards(const QList<int>& cards);
    const QList<CardVersion>& cards() const { return m_cards; }
    // Every card asked gave a reply ("Not responding" included).
    bool everyCardAnswered() const;
    // Images a target acknowledged record by record so far.
    int imagesStored() const { return m_imagesStored; }

    void runStarts(link::RunKind kind, const QList<int>& cards) override;
    void cardAsked(int card) override;
    void cardAnswered(int card, link::Answer answer, const QString& reply) override;
    void progress(int value) override { m_progress.showProgress(value); }
    void stageReached(link::Stage stage) override;
    void downloadStage(link::DownloadStage stage, int target) override;
    void runEnds(link::RunKind) override { m_progress.clear(); }

private:
    CardVersion* find(int card);

    ProgressLine& m_progress;
    QList<CardVersion> m_cards;
    // The status texts the stages of what runs now show.
    const char* const* m_stageTexts = nullptr;
    int m_imagesStored = 0;
};

} // namespace quorlink::cli
