#pragma once

#include "link/operationview.h"

#include <QStringList>

#include <functional>

namespace quorlink::test {

// An operation view for tests of the window-free link operations: every
// step as one line, in order ("status:Status:", "bar:40", "text:FFFFFF" ...).
class RecordingView final : public link::OperationView
{
public:
    QStringList steps;

    void showStatus(const QString& text) override { add(QStringLiteral("status:") + text); }
    void showProgress(int value) override { add(QStringLiteral("bar:%1").arg(value)); }
    void showProgressTextColour(std::uint32_t colour) override
    {
        add(QStringLiteral("text:%1").arg(colour, 6, 16, QLatin1Char('0')).toUpper());
    }
    void showBarColours(std::uint32_t start, std::uint32_t end) override
    {
        add(QStringLiteral("colours:%1,%2")
                .arg(start, 6, 16, QLatin1Char('0'))
                .arg(end, 6, 16, QLatin1Char('0'))
                .toUpper());
    }
    void restoreIdleState() override { add(QStringLiteral("idle")); }
    void downloadBegins() override { add(QStringLiteral("downloadBegins")); }
    void downloadStored(int target) override { add(QStringLiteral("stored:%1").arg(target)); }
    void downloadEnds() override { add(QStringLiteral("downloadEnds")); }
    void updateRunBegins() override { add(QStringLiteral("runBegins")); }
    void managerRunBegins() override { add(QStringLiteral("managerRunBegins")); }
    void remoteRunBegins() override { add(QStringLiteral("remoteRunBegins")); }
    void managerRunEnds() override { add(QStringLiteral("managerRunEnds")); }
    void remoteRunEnds() override { add(QStringLiteral("remoteRunEnds")); }
    void updateRunEnds() override { add(QStringLiteral("runEnds")); }

    // Runs after each step is recorded (a test may throw from it).
    std::function<void(const QString&)> onStep;

    // The steps that begin with `prefix`, without it.
    QStringList only(const QString& prefix) const
    {
        QStringList result;
        for (const QString& step : steps) {
            if (step.startsWith(prefix))
                result << step.mid(prefix.size());
        }
        return result;
    }

private:
    void add(const QString& step)
    {
        steps << step;
        if (onStep)
            onStep(step);
    }
};

} // namespace quorlink::test
