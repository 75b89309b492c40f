#pragma once

#include "link/operationview.h"
#include "platform/prompts.h"

// Shared by the benchmarks.

// A view for the benchmarks: shows nothing, so that what is measured is the
// link and the simulated switch, not a window. Benchmarks override the steps
// they count.
class SilentView : public quorlink::link::OperationView
{
public:
    void showStatus(const QString&) override {}
    void showProgress(int) override {}
    void showProgressTextColour(std::uint32_t) override {}
    void showBarColours(std::uint32_t, std::uint32_t) override {}
    void restoreIdleState() override {}
    void lockForVersionRun() override {}
    void showManagerQueryStarting() override {}
    void showRemoteQueryStarting(int) override {}
    void showRemoteAnswerArriving(int) override {}
    void appendVersionText(int, const QString&) override {}
    void storeVersionText(int, const QString&) override {}
    void keepCardSelected(int) override {}
    void deselectCard(int) override {}
    void finishManagerVersionRun() override {}
    void finishRemoteVersionRun() override {}
    void endVersionRun() override {}
    void finishReset() override {}
    void downloadBegins() override {}
    void downloadStored(int) override {}
    void downloadEnds() override {}
    void updateRunBegins() override {}
    void managerRunBegins() override {}
    void remoteRunBegins() override {}
    void managerRunEnds() override {}
    void remoteRunEnds() override {}
    void updateRunEnds() override {}
};

// Counts the messages; asks nothing.
class CountingPrompts final : public quorlink::Prompts
{
public:
    int messages = 0;
    void beep() override {}
    int message(const QString&, int, const QString&) override
    {
        ++messages;
        return quorlink::MessageResult::Ok;
    }
    QString openFileName(const QString&, const QString&) override { return {}; }
};
