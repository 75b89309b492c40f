#pragma once

#include "link/operationevents.h"
#include "link/protocol.h"
#include "link/session.h"
#include "platform/prompts.h"
#include "platform/qttimesource.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"

#include <ctime>
#include <memory>

// Shared by the benchmarks.

// The benchmarks show nothing, so that what is measured is the link and the
// simulated switch, not a window.
using SilentView = quorlink::link::OperationEvents;

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

// The standard simulated switch at COM1 in real time, and a link to it with
// the port open at its idle setting: `coarse` takes the window timer of
// Tamber instead of the precise timer of Update.
struct BenchLink
{
    explicit BenchLink(bool coarse)
        : time(coarse ? Qt::CoarseTimer : Qt::PreciseTimer),
          switchBox(quorlink::sim::SimulatedSwitch::standard(time)), devices(*switchBox, 1),
          session(time, prompts, devices)
    {
        session.open(1);
    }

    quorlink::QtTimeSource time;
    std::unique_ptr<quorlink::sim::SimulatedSwitch> switchBox;
    quorlink::sim::SimulatedDeviceProvider devices;
    CountingPrompts prompts;
    quorlink::link::Session session;
    quorlink::link::Link& link = session.link();
};

inline double processCpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}
