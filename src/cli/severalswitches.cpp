#include "severalswitches.h"

#include "command.h"
#include "switchcommand.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>
#include <QThread>
#include <QWaitCondition>

#include <algorithm>
#include <memory>
#include <vector>

namespace quorlink::cli {

namespace {

using Answer = TextPrompts::Answer;
using Question = TextPrompts::Question;

// The progress of every switch: one line each, redrawn in place on a
// terminal; elsewhere a plain line whenever a switch's status changes.
class ProgressDisplay
{
public:
    ProgressDisplay(QTextStream& err, bool terminal, const QStringList& devices)
        : m_err(err), m_terminal(terminal), m_devices(devices), m_status(devices.size()),
          m_value(devices.size(), 0)
    {
        for (const QString& device : devices)
            m_width = std::max(m_width, device.size());
    }

    void show(qsizetype index, const QString& status, int value)
    {
        const bool newStatus = status != m_status[index];
        m_status[index] = status;
        m_value[index] = value;
        if (m_terminal) {
            draw();
        } else if (newStatus && !status.isEmpty()) {
            line(index);
            m_err << "\n";
            m_err.flush();
        }
    }

    // Erases the lines, so that text can follow in their place.
    void clear()
    {
        if (!m_drawn)
            return;
        m_err << "\x1b[" << m_devices.size() << "A\r\x1b[J";
        m_err.flush();
        m_drawn = false;
    }

    void draw()
    {
        if (!m_terminal)
            return;
        if (m_drawn)
            m_err << "\x1b[" << m_devices.size() << "A";
        for (qsizetype i = 0; i < m_devices.size(); ++i) {
            m_err << "\r";
            line(i);
            m_err << "\x1b[K\n";
        }
        m_err.flush();
        m_drawn = true;
    }

private:
    void line(qsizetype index)
    {
        m_err << m_devices[index].leftJustified(m_width) << " "
              << QStringLiteral("%1% ").arg(m_value[index], 3) << m_status[index];
    }

    QTextStream& m_err;
    bool m_terminal;
    QStringList m_devices;
    qsizetype m_width = 0;
    QStringList m_status;
    std::vector<int> m_value;
    bool m_drawn = false;
};

class SideBySide;

// One switch: its command runs in a thread of its own and writes to its own
// buffers; the main thread reads them while the thread waits or once it has
// ended. Everything the two share is guarded by the owner's mutex.
class Switch final : public SwitchSlot
{
public:
    enum class State
    {
        Running,
        Asking, // waits for the answer to `question`
        AtGate, // waits to start changing cards
        Done
    };

    Switch(SideBySide& owner, const QString& device, const QString& traceFile)
        : m_owner(owner), m_device(device), m_traceFile(traceFile)
    {
    }

    QString device() const override { return m_device; }
    QString traceFile() const override { return m_traceFile; }
    Answer ask(const QString& text, Question kind) override;
    void beforeChanges() override;
    void showProgress(const QString& status, int value) override;

    // The switch's thread.
    void run(const QStringList& arguments, const SwitchCommandFunction& command);

    // What the main thread has not yet shown of the messages.
    QString unshownMessages()
    {
        const QString text = err.mid(errShown);
        errShown = err.size();
        return text;
    }

    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    Streams streams{outStream, errStream, {}, this};

    State state = State::Running;
    Question kind = Question::Confirmation;
    QString question;
    Answer answer = Answer::Refused;
    bool released = false;
    int exitCode = ExitCode::SwitchFailed;
    qsizetype errShown = 0;

private:
    // Waits, in `waiting`, until the main thread lets it go on.
    void wait(State waiting);

    SideBySide& m_owner;
    QString m_device;
    QString m_traceFile;
};

// The main thread's side: starts the switches, decides their questions when
// none of them is still running, shows their progress and, at the end, their
// results.
class SideBySide final : public QObject
{
public:
    SideBySide(Streams& streams, const QStringList& devices, bool answerYes)
        : m_streams(streams), m_prompts(streams.err),
          m_display(streams.err, isTerminal(stderr), devices)
    {
        m_prompts.answerYes = answerYes;
        m_prompts.onTerminal = isTerminal(stdin);
    }

    std::vector<std::unique_ptr<Switch>> switches;
    QMutex mutex;
    QWaitCondition changed;

    // Any thread: look at the states again, in the main thread.
    void poke() { QMetaObject::invokeMethod(this, &SideBySide::review, Qt::QueuedConnection); }
    void showProgress(Switch* which, const QString& status, int value)
    {
        QMetaObject::invokeMethod(
            this, [this, which, status, value] { m_display.show(indexOf(which), status, value); },
            Qt::QueuedConnection);
    }

    void runAll(const QStringList& arguments, const SwitchCommandFunction& command)
    {
        std::vector<std::unique_ptr<QThread>> threads;
        for (const auto& each : switches) {
            Switch* which = each.get();
            threads.emplace_back(
                QThread::create([which, &arguments, &command] { which->run(arguments, command); }));
            threads.back()->start();
        }
        m_loop.exec();
        for (const auto& thread : threads)
            thread->wait();
        m_display.clear();
    }

    int printResults(bool json)
    {
        int code = ExitCode::Success;
        QJsonArray results;
        for (const auto& each : switches) {
            code = std::max(code, each->exitCode);
            const QString messages = each->unshownMessages();
            if (json) {
                m_streams.err << headed(each->device(), messages);
                results.append(resultJson(*each, messages));
            } else {
                m_streams.out << each->device() << ": " << outcomeText(each->exitCode) << "\n";
                m_streams.out.flush();
                m_streams.err << messages;
                m_streams.err.flush();
                m_streams.out << each->out;
            }
        }
        if (json) {
            printJsonObject(m_streams, {{QStringLiteral("ok"), code == ExitCode::Success},
                                        {QStringLiteral("switches"), results}});
        }
        return code;
    }

private:
    qsizetype indexOf(const Switch* which) const
    {
        const auto found = std::find_if(switches.begin(), switches.end(),
                                        [which](const auto& each) { return each.get() == which; });
        return found - switches.begin();
    }

    bool any(Switch::State state) const
    {
        return std::any_of(switches.begin(), switches.end(),
                           [state](const auto& each) { return each->state == state; });
    }

    // The main thread, whenever a switch has changed its state: once none is
    // running, the first open question is decided for all that ask it;
    // without questions, those at the gate go on.
    void review()
    {
        const QMutexLocker lock(&mutex);
        if (any(Switch::State::Running))
            return;
        if (!any(Switch::State::Asking) && !any(Switch::State::AtGate)) {
            m_loop.quit();
            return;
        }
        std::vector<Switch*> group;
        for (const auto& each : switches) {
            if (each->state == Switch::State::Asking &&
                (group.empty() || each->kind < group.front()->kind)) {
                group = {each.get()};
            } else if (each->state == Switch::State::Asking && each->kind == group.front()->kind) {
                group.push_back(each.get());
            }
        }
        if (group.empty()) {
            for (const auto& each : switches) {
                if (each->state == Switch::State::AtGate)
                    release(*each);
            }
        } else {
            const Question kind = group.front()->kind;
            if (!m_answers.contains(kind))
                m_answers.insert(kind, decide(group));
            for (Switch* each : group) {
                each->answer = m_answers.value(kind);
                release(*each);
            }
        }
        changed.wakeAll();
    }

    static void release(Switch& which)
    {
        which.released = true;
        which.state = Switch::State::Running;
    }

    // One question for the group, after what each switch has said so far
    // (its versions before the confirmation). Different texts (the OSD
    // languages of different switches) are listed and answered together.
    Answer decide(const std::vector<Switch*>& group)
    {
        m_display.clear();
        QString question = group.front()->question;
        for (Switch* each : group)
            m_streams.err << headed(each->device(), each->unshownMessages());
        const bool same = std::all_of(group.begin(), group.end(), [&question](Switch* each) {
            return each->question == question;
        });
        if (!same) {
            for (Switch* each : group)
                m_streams.err << each->device() << ": " << each->question << "\n";
            question = QStringLiteral("The same answer for every switch above (Y/N)?");
        }
        m_streams.err.flush();
        const Answer answer = m_prompts.ask(question, group.front()->kind);
        m_display.draw();
        return answer;
    }

    static QString headed(const QString& device, const QString& messages)
    {
        return messages.isEmpty() ? messages : device + QStringLiteral(":\n") + messages;
    }

    static QString outcomeText(int code)
    {
        switch (code) {
        case ExitCode::Success:
            return QStringLiteral("done");
        case ExitCode::Usage:
            return QStringLiteral("refused (exit code 2)");
        case ExitCode::FileError:
            return QStringLiteral("file error (exit code 3)");
        default:
            return QStringLiteral("failed (exit code %1)").arg(code);
        }
    }

    // The single-switch object with its device; a command that ended before
    // printing one (a trace file it could not write) gives its last message.
    static QJsonObject resultJson(const Switch& which, const QString& messages)
    {
        QJsonObject result = QJsonDocument::fromJson(which.out.toUtf8()).object();
        if (result.isEmpty()) {
            const QString last = messages.trimmed().section(u'\n', -1);
            result = {{QStringLiteral("ok"), false},
                      {QStringLiteral("message"), last.isEmpty() ? QJsonValue() : last}};
        }
        result[QStringLiteral("device")] = which.device();
        return result;
    }

    Streams& m_streams;
    TextPrompts m_prompts;
    ProgressDisplay m_display;
    QEventLoop m_loop;
    QMap<Question, Answer> m_answers;
};

void Switch::wait(State waiting)
{
    QMutexLocker lock(&m_owner.mutex);
    state = waiting;
    released = false;
    m_owner.poke();
    while (!released)
        m_owner.changed.wait(&m_owner.mutex);
}

Answer Switch::ask(const QString& text, Question questionKind)
{
    {
        const QMutexLocker lock(&m_owner.mutex);
        question = text;
        kind = questionKind;
    }
    wait(State::Asking);
    const QMutexLocker lock(&m_owner.mutex);
    return answer;
}

void Switch::beforeChanges()
{
    wait(State::AtGate);
}

void Switch::showProgress(const QString& status, int value)
{
    m_owner.showProgress(this, status, value);
}

void Switch::run(const QStringList& arguments, const SwitchCommandFunction& command)
{
    const int code = command(arguments, streams);
    outStream.flush();
    errStream.flush();
    const QMutexLocker lock(&m_owner.mutex);
    exitCode = code;
    state = State::Done;
    m_owner.poke();
}

// FILE.1, FILE.2, ...: one trace per switch.
QString traceFileOf(const QString& traceFile, qsizetype index)
{
    return traceFile.isEmpty() ? traceFile : QStringLiteral("%1.%2").arg(traceFile).arg(index + 1);
}

} // namespace

int runSideBySide(const QStringList& arguments, Streams& streams, const SwitchCommandFunction& run,
                  const QStringList& devices, const QString& traceFile, bool json, bool answerYes)
{
    SideBySide sideBySide(streams, devices, answerYes);
    for (qsizetype i = 0; i < devices.size(); ++i) {
        sideBySide.switches.push_back(
            std::make_unique<Switch>(sideBySide, devices[i], traceFileOf(traceFile, i)));
    }
    sideBySide.runAll(arguments, run);
    return sideBySide.printResults(json);
}

} // namespace quorlink::cli
