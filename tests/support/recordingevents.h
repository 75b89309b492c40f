#pragma once

#include "link/operationevents.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quorlink::test {

// Writes down what an operation reports, one short line per event, in order:
// "ask:5", "answer:5:QLREM ver1.07 US", "answer:6:(nr)Not responding",
// "kept:5", "dropped:6", "bar:50", "light", "dark", "stage:1" (the Stage's
// number), "begins:7", "stored:7", "ends:7", "over:7", "interrupted",
// "outcome:1", "end". The start of a run is not written down.
class RecordingEvents final : public link::OperationEvents
{
public:
    QStringList lines;

    // The lines that begin with `prefix`, with the prefix removed.
    QStringList of(const QString& prefix) const
    {
        QStringList found;
        for (const QString& line : lines) {
            if (line.startsWith(prefix))
                found << line.mid(prefix.size());
        }
        return found;
    }

    void cardAsked(int card) override { note(QStringLiteral("ask:%1").arg(card)); }
    void cardAnswered(int card, link::Answer answer, const QString& reply) override
    {
        const QString kind = answer == link::Answer::NotResponding ? "(nr)" : "";
        note(QStringLiteral("answer:%1:%2%3").arg(card).arg(kind, reply));
    }
    void cardKept(int card, bool kept) override
    {
        note(QStringLiteral("%1:%2").arg(kept ? "kept" : "dropped").arg(card));
    }
    void progress(int value) override { note(QStringLiteral("bar:%1").arg(value)); }
    void stageReached(link::Stage stage) override
    {
        note(QStringLiteral("stage:%1").arg(static_cast<int>(stage)));
    }
    void progressTextLight(bool light) override { note(light ? "light" : "dark"); }
    void downloadStage(link::DownloadStage stage, int target) override
    {
        static const char* const names[] = {"begins", "stored", "ends", "over"};
        note(QStringLiteral("%1:%2").arg(names[static_cast<int>(stage)]).arg(target));
    }
    void runInterrupted() override { note("interrupted"); }
    void runOutcome(link::RunKind, bool succeeded) override
    {
        note(QStringLiteral("outcome:%1").arg(int(succeeded)));
    }
    void runEnds(link::RunKind) override { note("end"); }

    // Runs after each line is written down; a test may throw from it to
    // stand for a run-time error at that point.
    std::function<void(const QString&)> onLine;

private:
    void note(const QString& line)
    {
        lines << line;
        if (onLine)
            onLine(line);
    }
};

} // namespace quorlink::test
