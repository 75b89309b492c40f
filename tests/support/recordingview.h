#pragma once

#include "link/operationview.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quorlink::test {

// An operation view that writes down each step as one short line, in order:
// "status:Status: Reset", "progress:33", "colour:ffffff", "append:5: F/W - V1".
// Tests assert on the lines; the command-line tool's view works the same way.
class RecordingView final : public link::OperationView
{
public:
    QStringList steps;

    // The steps that begin with `prefix`, with the prefix removed.
    QStringList stepsOf(const QString& prefix) const
    {
        QStringList found;
        for (const QString& step : steps) {
            if (step.startsWith(prefix))
                found << step.mid(prefix.size());
        }
        return found;
    }

    void showStatus(const QString& text) override { note(QStringLiteral("status:") + text); }
    void showProgress(int value) override { note(QStringLiteral("progress:%1").arg(value)); }
    void showProgressTextColour(std::uint32_t colour) override
    {
        note(QStringLiteral("colour:%1").arg(colour, 0, 16));
    }
    void showBarColours(std::uint32_t start, std::uint32_t end) override
    {
        note(QStringLiteral("bar:%1-%2").arg(start, 0, 16).arg(end, 0, 16));
    }
    void restoreIdleState() override { note(QStringLiteral("idle")); }

    void lockForVersionRun() override { note(QStringLiteral("lock")); }
    void showManagerQueryStarting() override { note(QStringLiteral("asking:1")); }
    void showRemoteQueryStarting(int card) override { note(QStringLiteral("asking:%1").arg(card)); }
    void showRemoteAnswerArriving(int card) override
    {
        note(QStringLiteral("answering:%1").arg(card));
    }
    void appendVersionText(int card, const QString& answer) override
    {
        note(QStringLiteral("append:%1:%2").arg(card).arg(answer));
    }
    void storeVersionText(int card, const QString& answer) override
    {
        note(QStringLiteral("store:%1:%2").arg(card).arg(answer));
    }
    void keepCardSelected(int card) override { note(QStringLiteral("keep:%1").arg(card)); }
    void deselectCard(int card) override { note(QStringLiteral("deselect:%1").arg(card)); }
    void finishManagerVersionRun() override { note(QStringLiteral("finish")); }
    void finishRemoteVersionRun() override { note(QStringLiteral("finish")); }
    void endVersionRun() override { note(QStringLiteral("end")); }

    void finishReset() override { note(QStringLiteral("finish")); }

    void downloadBegins() override { note(QStringLiteral("downloadBegins")); }
    void downloadStored(int target) override { note(QStringLiteral("stored:%1").arg(target)); }
    void downloadEnds() override { note(QStringLiteral("downloadEnds")); }
    void updateRunBegins() override { note(QStringLiteral("runBegins")); }
    void managerRunBegins() override { note(QStringLiteral("managerRunBegins")); }
    void remoteRunBegins() override { note(QStringLiteral("remoteRunBegins")); }
    void remoteDownloadOver() override { note(QStringLiteral("remoteDownloadOver")); }
    void managerRunEnds() override { note(QStringLiteral("managerRunEnds")); }
    void remoteRunEnds() override { note(QStringLiteral("remoteRunEnds")); }
    void updateRunEnds() override { note(QStringLiteral("runEnds")); }

    // Runs after each step is written down; a test may throw from it to
    // stand for a run-time error at that step.
    std::function<void(const QString&)> onStep;

private:
    void note(const QString& step)
    {
        steps << step;
        if (onStep)
            onStep(step);
    }
};

} // namespace quorlink::test
