#pragma once

#include "linksession.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quorlink::cli {

struct Streams;

// One switch of several that a command runs side by side, each in a thread
// of its own with its own session (port, timers, link) on real time. What
// the switches share goes through here: the device, the questions (decided
// once for all, before any switch changes a card) and the progress.
class SwitchSlot
{
public:
    virtual ~SwitchSlot() = default;

    // The device of this switch and its trace file (empty: none).
    virtual QString device() const = 0;
    virtual QString traceFile() const = 0;
    // The answer for every switch that asks the same kind of question;
    // blocks until the others have come as far.
    virtual TextPrompts::Answer ask(const QString& question, TextPrompts::Question kind) = 0;
    // Blocks until every switch has its answers, so that none changes a
    // card while a question is still open.
    virtual void beforeChanges() = 0;
    virtual void showProgress(const QString& status, int value) = 0;
};

// A switch command of its own: `run(arguments, streams)` gives the exit code.
using SwitchCommandFunction = std::function<int(const QStringList&, Streams&)>;

// Runs the command once per device of `devices`, side by side, with the
// same arguments; `answerYes` is --yes. Prints the progress of all, then
// each switch's result in the order given (under --json one object:
// {"ok", "switches": [{"device", ...}]}). Returns the highest exit code.
int runSideBySide(const QStringList& arguments, Streams& streams, const SwitchCommandFunction& run,
                  const QStringList& devices, const QString& traceFile, bool json, bool answerYes);

} // namespace quorlink::cli
