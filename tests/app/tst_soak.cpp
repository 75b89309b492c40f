// Randomized soak on virtual time: version runs, resets and updates through
// the window, with random selections, random cards and random faults on the
// line, each followed by one rich check of what the user was told against
// what the simulated cards really hold, and of the state the window and the
// port are left in.
//
// Every session of a few operations has its own seed. A failure names it:
//   QUORLINK_SOAK_SEED=<seed> QUORLINK_SOAK_RUNS=<n> tst_soak
// replays from that session on. QUORLINK_SOAK_RUNS is the number of
// operations of each kind (default 100).
#include "operationfixture.h"

#include "sim/faultinjector.h"

#include <QLoggingCategory>

#include <map>
#include <random>
#include <set>

using quorlink::Parity;
using quorlink::sim::Fault;
using quorlink::sim::FaultInjector;
using quorlink::sim::FaultKindCount;
using quorlink::test::managerFile;
using quorlink::test::OperationWindow;
using quorlink::test::remoteFile;
using quorlink::test::SampleFile;
using quorlink::test::VersionDialogAnswer;
namespace ToolbarButton = quorlink::app::ToolbarButton;
namespace protocol = quorlink::link::protocol;

namespace {

enum class Kind
{
    FirmwareVersion,
    HardwareVersion,
    Reset,
    Update,
};
constexpr int KindCount = 4;

QString kindName(Kind kind)
{
    const char* const names[] = {"F/W version", "H/W version", "reset", "update"};
    return QString::fromLatin1(names[static_cast<int>(kind)]);
}

// A remote file, a management card file in the cards' language and one that
// changes it.
struct FirmwareFiles
{
    QTemporaryDir folder;
    SampleFile remote = remoteFile(folder.path(), QStringLiteral("QLREM ver1.08 US"));
    SampleFile manager = managerFile(folder.path(), QStringLiteral("QLMGR ver2.32 US"));
    SampleFile managerInGerman = managerFile(folder.path(), QStringLiteral("QLMGR ver2.32 DE"),
                                             QStringLiteral("qdx_mgt232de_e.hex"));
};

// What many sessions add up to, for the closing report.
struct Tally
{
    std::array<int, KindCount> runs{};
    std::array<int, FaultKindCount> faults{};
    std::map<QString, int> outcomes;
    int answersChecked = 0; // version texts held against what the card holds
    int answersDoubted = 0; // left unchecked: the switch doubts them
    int imagesChecked = 0;  // cards of a done update whose images were compared
    QStringList failures;

    QString report() const
    {
        QStringList lines;
        for (int kind = 0; kind < KindCount; ++kind)
            lines << QStringLiteral("%1 runs: %2").arg(kindName(Kind(kind))).arg(runs[kind]);
        QStringList injected;
        for (int kind = 0; kind < FaultKindCount; ++kind)
            injected
                << QStringLiteral("%1 %2").arg(FaultInjector::name(Fault(kind))).arg(faults[kind]);
        lines << QStringLiteral("faults injected: ") + injected.join(QStringLiteral(", "));
        for (const auto& [outcome, count] : outcomes)
            lines << QStringLiteral("  %1: %2").arg(outcome).arg(count);
        lines << QStringLiteral("answers checked against the cards: %1, doubted: %2; updated "
                                "cards checked: %3")
                     .arg(answersChecked)
                     .arg(answersDoubted)
                     .arg(imagesChecked);
        lines << QStringLiteral("failures: %1").arg(failures.size());
        return lines.join(QLatin1Char('\n'));
    }
};

// What the window showed and the cards held before an operation.
struct Before
{
    std::map<int, QString> lines;    // card -> item text
    std::map<int, int> resets;       // card -> resets so far
    std::map<int, qsizetype> images; // card -> images so far
    std::size_t prompts = 0;
    int faults = 0;
    bool deviceGone = false;
};

// One session: a window on a switch with random cards and random faults,
// and a few operations with random selections.
class Session
{
public:
    Session(std::uint32_t seed, const FirmwareFiles& files, Tally& tally)
        : m_seed(seed), m_random(seed), m_faults(seed * 2654435761u), m_files(files), m_tally(tally)
    {
        setUpCards();
        setUpFaults();
        m_faults.setVanishHandler([this] { m_window.devices.setRemoved(1, true); });
        m_window.simulatedSwitch.setFaultInjector(&m_faults);
    }
    ~Session()
    {
        m_window.simulatedSwitch.setFaultInjector(nullptr);
        for (int kind = 0; kind < FaultKindCount; ++kind)
            m_tally.faults[kind] += m_faults.count(Fault(kind));
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs one operation of `kind`; false when a check failed.
    bool run(Kind kind, int number)
    {
        ++m_tally.runs[static_cast<int>(kind)];
        m_problems.clear();
        chooseCards();
        const Before before = look();
        const QList<int> target = targetCards();
        m_window.simulatedSwitch.clearDoubtfulCards();
        m_window.simulatedSwitch.trace().clear();
        // An update writes some thousand bytes, a version query three per card.
        m_faults.setChance(Fault::DeviceVanished,
                           kind == Kind::Update ? m_vanishChance / 100 : m_vanishChance);
        switch (kind) {
        case Kind::Update:
            runUpdate(before, target);
            break;
        case Kind::Reset:
            m_window.form->mnuAdvanced_Click();
            press(ToolbarButton::Reset, Qt::Key_R);
            checkIdle(before);
            checkReset(before, target);
            break;
        case Kind::FirmwareVersion:
        case Kind::HardwareVersion:
            const bool hardware = kind == Kind::HardwareVersion;
            press(hardware ? ToolbarButton::HardwareVersion : ToolbarButton::FirmwareVersion,
                  hardware ? Qt::Key_W : Qt::Key_V);
            checkIdle(before);
            checkVersions(kind, before, target);
            break;
        }
        // Late bytes and a quiet line between the user's commands.
        m_window.clock.sleep(between(0, 3) == 0 ? between(0, 2000) : 0);
        m_window.clock.yield();
        if (m_problems.isEmpty())
            return true;
        m_tally.failures << QStringLiteral("QUORLINK_SOAK_SEED=%1, operation %2 (%3 of cards %4, "
                                           "faults %5): %6")
                                .arg(m_seed)
                                .arg(number)
                                .arg(kindName(kind))
                                .arg(cardNames(target))
                                .arg(m_faults.summary())
                                .arg(m_problems.join(QStringLiteral("; ")));
        return false;
    }

    int between(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }

private:
    quorlink::sim::SimulatedCard& card(int number) { return m_window.simulatedSwitch.card(number); }

    // Most cards answer at once; some are missing, silent, lost by the
    // switch ("Not responding") or slow: clearly within or clearly beyond
    // their timeout.
    void setUpCards()
    {
        for (int number = 1; number <= 64; ++number) {
            auto& simulated = card(number);
            simulated.setFirmwareVersion(number == 1
                                             ? QStringLiteral("QLMGR ver2.31 US")
                                             : QStringLiteral("QLR%1 ver1.07 US").arg(number));
            simulated.setPresent(number == 1 || between(0, 29) != 0);
            simulated.setSilent(between(0, 39) == 0);
            simulated.setNotResponding(between(0, 39) == 0);
            const int kind = between(0, 29);
            simulated.setReplyDelay(kind == 0   ? between(60, 120)
                                    : kind == 1 ? between(600, 900)
                                                : between(0, 5));
        }
    }

    // A third of the sessions have a clean line; the others some kinds of
    // fault, each at its own chance.
    void setUpFaults()
    {
        if (between(0, 2) == 0)
            return;
        for (int kind = 0; kind < FaultKindCount; ++kind) {
            if (between(0, 1) == 0)
                continue;
            const auto fault = Fault(kind);
            if (fault == Fault::DeviceVanished)
                m_vanishChance = between(1, 10) / 2000.0;
            else
                m_faults.setChance(fault, between(2, 25) / 100.0);
        }
    }

    void press(int button, Qt::Key key)
    {
        if (between(0, 3) == 0)
            m_window.pressAlt(key);
        else
            m_window.pressButton(button);
    }

    // Clears the selection by clicking each chosen card again, then chooses
    // the management card, every remote card (Select All) or a few.
    void chooseCards()
    {
        for (const int number : m_window.selectedCards())
            clickCard(number);
        if (!m_window.selectedCards().isEmpty())
            m_problems << QStringLiteral("clicking the chosen cards again leaves %1 chosen")
                              .arg(cardNames(m_window.selectedCards()));
        const int choice = between(0, 9);
        if (choice < 2) {
            clickCard(protocol::ManagementCard);
        } else if (choice == 2) {
            m_window.pressButton(ToolbarButton::SelectAll);
        } else {
            const int count = between(0, 3) == 0 ? between(1, 63) : between(1, 5);
            std::set<int> chosen;
            while (static_cast<int>(chosen.size()) < count)
                chosen.insert(between(2, 64));
            for (const int number : chosen)
                clickCard(number);
        }
    }

    void clickCard(int number)
    {
        const auto [index, row] = m_window.placeOf(number);
        m_window.choose(index, row);
    }

    // The cards a command works on: the selected remote cards, or else the
    // management card.
    QList<int> targetCards() const
    {
        const QList<int> remote = m_window.form->selectedRemoteCards();
        return remote.isEmpty() ? QList<int>{protocol::ManagementCard} : remote;
    }

    static QString plainLine(int number)
    {
        return number == protocol::ManagementCard ? quorlink::app::MainForm::managerItemText()
                                                  : quorlink::app::MainForm::remoteItemText(number);
    }

    Before look()
    {
        Before before;
        for (int number = 1; number <= 64; ++number) {
            before.lines[number] = m_window.lineOf(number);
            before.resets[number] = static_cast<int>(card(number).resetTimes().size());
            before.images[number] = card(number).images().size();
        }
        before.prompts = m_window.prompts.entries().size();
        before.faults = m_faults.totalCount();
        before.deviceGone = m_faults.count(Fault::DeviceVanished) != 0;
        return before;
    }

    // The prompts of this operation: only communication errors, each after
    // its beep. Returns how many.
    int communicationErrors(const Before& before)
    {
        const QStringList log = m_window.prompts.log().mid(static_cast<qsizetype>(before.prompts));
        for (qsizetype i = 0; i < log.size(); ++i) {
            const QString expected =
                i % 2 == 0 ? QStringLiteral("beep") : QStringLiteral("message:Communication Error");
            if (log[i] != expected) {
                m_problems
                    << QStringLiteral("unexpected prompts %1").arg(log.join(QLatin1Char(',')));
                return static_cast<int>(log.size() / 2);
            }
        }
        if (log.size() % 2 != 0)
            m_problems << QStringLiteral("a beep without its message");
        return static_cast<int>(log.size() / 2);
    }

    // The window back at rest, the timers idle, the port usable.
    void checkIdle(const Before& before)
    {
        auto& form = *m_window.form;
        if (const QString problems = m_window.idleProblems(); !problems.isEmpty())
            m_problems << QStringLiteral("left behind: ") + problems;
        const bool gone = m_faults.count(Fault::DeviceVanished) != 0;
        if (!gone && (!form.MSComm1.portOpen() || form.MSComm1.settings() != "19200,s,8,1"))
            m_problems << QStringLiteral("port %1 in %2")
                              .arg(form.MSComm1.portOpen() ? "open" : "closed")
                              .arg(form.MSComm1.settings());
        if (gone && !before.deviceGone)
            ++m_tally.outcomes[QStringLiteral("device vanished during the run")];
    }

    // Each line shows the plain text, its old text (not asked) or the
    // answer of this run, which is what the card holds unless the switch
    // doubts it; the run stops at the first card without an answer, and
    // shows one communication error exactly then.
    void checkVersions(Kind kind, const Before& before, const QList<int>& target)
    {
        const bool hardware = kind == Kind::HardwareVersion;
        const QString prefix = hardware ? QStringLiteral(" H/W - ") : QStringLiteral(" F/W - ");
        const std::set<int>& doubtful = m_window.simulatedSwitch.doubtfulCards();
        const bool gone = m_faults.count(Fault::DeviceVanished) != 0;
        const bool vanishedNow = gone && !before.deviceGone;
        const QList<int> asked = m_window.cardsAsked();
        if (asked != target.mid(0, asked.size()))
            m_problems << QStringLiteral("asked %1").arg(cardNames(asked));

        int answered = 0;
        for (int number = 1; number <= 64; ++number) {
            const QString now = m_window.lineOf(number);
            const bool wasAsked = asked.contains(number);
            if (!wasAsked) {
                if (now != before.lines.at(number) && !(vanishedNow && now == plainLine(number)))
                    m_problems << QStringLiteral("card %1 not asked but shows \"%2\"")
                                      .arg(number)
                                      .arg(now);
                continue;
            }
            if (!now.startsWith(plainLine(number) + prefix)) {
                if (now != plainLine(number))
                    m_problems << QStringLiteral("card %1 shows \"%2\"").arg(number).arg(now);
                continue;
            }
            ++answered;
            const QString shown = now.mid(plainLine(number).size() + prefix.size());
            if (doubtful.contains(number)) {
                ++m_tally.answersDoubted;
                continue;
            }
            ++m_tally.answersChecked;
            const auto& simulated = card(number);
            const QString truth = !simulated.answersQueries() ? QStringLiteral("(no answer)")
                                  : simulated.takesPart() ? (hardware ? simulated.hardwareVersion()
                                                                      : simulated.firmwareVersion())
                                                          : QString(protocol::NotResponding);
            if (shown != truth)
                m_problems << QStringLiteral("card %1 shown as \"%2\", holds \"%3\"")
                                  .arg(number)
                                  .arg(visible(shown), truth);
            const bool chosen = m_window.selectedCards().contains(number);
            if (chosen != (truth != protocol::NotResponding))
                m_problems << QStringLiteral("card %1 %2 after answering \"%3\"")
                                  .arg(number)
                                  .arg(chosen ? "still chosen" : "no longer chosen", shown);
        }
        const bool complete = !gone && answered == target.size() && asked == target;
        const int errors = communicationErrors(before);
        if (errors != (complete ? 0 : 1))
            m_problems << QStringLiteral("%1 communication errors after %2 of %3 cards answered")
                              .arg(errors)
                              .arg(answered)
                              .arg(target.size());
        checkCleanVersionRun(before, target, asked);
        ++m_tally.outcomes[QStringLiteral("%1: %2").arg(
            kindName(kind), complete ? QStringLiteral("every card answered")
                            : gone   ? QStringLiteral("device gone")
                                     : QStringLiteral("stopped at a card"))];
    }

    // Without faults, doubts or lost device the run goes exactly as far as
    // the first card that cannot answer in time.
    void checkCleanVersionRun(const Before& before, const QList<int>& target,
                              const QList<int>& asked)
    {
        if (!cleanLine(before))
            return;
        QList<int> expected;
        for (const int number : target) {
            expected << number;
            const auto& simulated = card(number);
            if (!simulated.answersQueries() || simulated.replyDelayMilliseconds() > 300)
                break;
        }
        if (asked != expected)
            m_problems << QStringLiteral("on a clean line asked %1 instead of %2")
                              .arg(cardNames(asked), cardNames(expected));
    }

    // Only chosen cards restart; an acknowledged reset restarted one of them
    // at least, and a clean line acknowledges exactly when one can answer.
    void checkReset(const Before& before, const QList<int>& target)
    {
        auto& form = *m_window.form;
        if (form.AdvancedMode || form.mnuAdvanced->isChecked() ||
            form.asxToolbar1->isButtonEnabled(ToolbarButton::Reset))
            m_problems << QStringLiteral("Advanced mode left on");
        if (std::any_of(form.RemoteCardSelected.begin(), form.RemoteCardSelected.end(),
                        [](bool flag) { return flag; }))
            m_problems << QStringLiteral("cards left flagged for a reset");
        QList<int> restarted;
        for (int number = 1; number <= 64; ++number) {
            if (static_cast<int>(card(number).resetTimes().size()) != before.resets.at(number))
                restarted << number;
        }
        for (const int number : restarted) {
            if (!target.contains(number))
                m_problems << QStringLiteral("card %1 restarted though not chosen").arg(number);
        }
        if (m_window.selectedCards() != target)
            m_problems << QStringLiteral("the selection changed");
        const int errors = communicationErrors(before);
        const std::set<int>& doubtful = m_window.simulatedSwitch.doubtfulCards();
        const bool trusted = std::none_of(target.begin(), target.end(), [&doubtful](int number) {
            return doubtful.contains(number);
        });
        if (errors > 1)
            m_problems << QStringLiteral("%1 communication errors").arg(errors);
        if (errors == 0 && trusted && restarted.isEmpty())
            m_problems << QStringLiteral("reset reported done, but no chosen card restarted");
        const bool clean = cleanLine(before);
        const bool oneCanAnswer = std::any_of(
            target.begin(), target.end(), [this](int number) { return card(number).takesPart(); });
        if (clean && errors != (oneCanAnswer ? 0 : 1))
            m_problems << QStringLiteral("on a clean line %1 communication errors").arg(errors);
        ++m_tally.outcomes[errors == 0 ? QStringLiteral("reset: acknowledged")
                                       : QStringLiteral("reset: communication error")];
    }

    // Control characters and bytes above 0x7E as <hex>.
    static QString visible(const QString& text)
    {
        QString result;
        for (const QChar c : text)
            result += c.unicode() < 0x20 || c.unicode() > 0x7E
                          ? QStringLiteral("<%1>").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                          : QString(c);
        return result;
    }

    // File > Open with the file that fits the chosen cards, Start, and the
    // version dialog answered (mostly OK); the language question is answered
    // Yes by the recorder.
    void runUpdate(const Before& before, const QList<int>& target)
    {
        const bool manager = target == QList<int>{protocol::ManagementCard};
        const SampleFile& file = !manager             ? m_files.remote
                                 : between(0, 2) == 0 ? m_files.managerInGerman
                                                      : m_files.manager;
        m_window.prompts.scriptFile(file.path);
        m_window.form->mnuOpen->trigger();
        if (m_window.form->FirmwareFile != file.path)
            m_problems << QStringLiteral("File > Open did not take %1").arg(file.path);
        const bool confirm = between(0, 9) != 0;
        VersionDialogAnswer answer(confirm);
        press(ToolbarButton::Start, Qt::Key_T);
        checkIdle(before);
        checkUpdate(before, target, file, answer.shown && !confirm);
    }

    // Only chosen cards are written. An update reported done (the versions
    // read back; for the management card the hot key message) means every
    // chosen card that takes part holds exactly the file's images, unless the
    // switch doubts it; one that failed showed its message.
    void checkUpdate(const Before& before, const QList<int>& target, const SampleFile& file,
                     bool cancelled)
    {
        auto& form = *m_window.form;
        const bool manager = target == QList<int>{protocol::ManagementCard};
        const auto bytes = m_window.simulatedSwitch.trace().pcBytes();
        qsizetype lastDownload = -1;
        bool readBack = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i].parity != Parity::Mark)
                continue;
            if (bytes[i].value == protocol::DownloadCommand)
                lastDownload = static_cast<qsizetype>(i);
            else if (bytes[i].value == protocol::FirmwareVersionCommand && lastDownload >= 0)
                readBack = true;
        }
        const QStringList log = m_window.prompts.log().mid(static_cast<qsizetype>(before.prompts));
        const auto messages = m_window.prompts.messages();
        const bool hotKey = log.contains(QStringLiteral("message:Warning")) &&
                            messages.back().text.startsWith(QStringLiteral("Now Your OSD"));
        const bool done = manager ? hotKey : readBack;
        if (manager && hotKey != readBack)
            m_problems << QStringLiteral("the hot key message and the read-back disagree");
        const bool failureShown = log.contains(QStringLiteral("message:Communication Error")) ||
                                  log.contains(QStringLiteral("message:Verification Error"));
        if (lastDownload >= 0 && !done && !failureShown)
            m_problems << QStringLiteral("the update stopped without a message");
        if (cancelled && lastDownload >= 0)
            m_problems << QStringLiteral("sent the firmware although the dialog was cancelled");

        const std::set<int>& doubtful = m_window.simulatedSwitch.doubtfulCards();
        for (int number = 1; number <= 64; ++number) {
            const QList<QStringList> received = card(number).images().mid(before.images.at(number));
            if (!target.contains(number)) {
                if (!received.isEmpty())
                    m_problems << QStringLiteral("card %1 written though not chosen").arg(number);
                continue;
            }
            const bool checkImages = done && card(number).takesPart() && !doubtful.contains(number);
            m_tally.imagesChecked += checkImages ? 1 : 0;
            if (checkImages && received != file.images)
                m_problems << QStringLiteral("update reported done, card %1 holds %2 new images")
                                  .arg(number)
                                  .arg(received.size());
            const QString line = m_window.lineOf(number);
            const QString plain = plainLine(number);
            const QString truth = card(number).takesPart() ? card(number).firmwareVersion()
                                                           : QString(protocol::NotResponding);
            if (done && line != plain && line != before.lines.at(number) &&
                line != plain + QStringLiteral(" F/W - ") + truth && !doubtful.contains(number))
                m_problems << QStringLiteral("card %1 shows \"%2\" after the update, holds \"%3\"")
                                  .arg(number)
                                  .arg(visible(line), truth);
        }
        if (form.UpdateMode || form.ProgBar1->barStartColour() != 0xFF0000u)
            m_problems << QStringLiteral("update mode or the red bar left behind");
        QFile stored(file.path);
        if (!stored.open(QIODevice::ReadOnly) || stored.readAll() != file.written)
            m_problems << QStringLiteral("the firmware file changed");
        checkCleanUpdate(before, target, cancelled, done);
        ++m_tally.outcomes[QStringLiteral("update: %1")
                               .arg(done        ? QStringLiteral("done")
                                    : cancelled ? QStringLiteral("cancelled at the version dialog")
                                    : lastDownload >= 0
                                        ? QStringLiteral("download failed")
                                        : QStringLiteral("stopped before the download"))];
    }

    // On a clean line an update of cards that all answer and take part is done.
    void checkCleanUpdate(const Before& before, const QList<int>& target, bool cancelled, bool done)
    {
        if (!cleanLine(before) || cancelled || done)
            return;
        const bool allFit = std::all_of(target.begin(), target.end(), [this](int number) {
            return card(number).takesPart() && card(number).replyDelayMilliseconds() < 300;
        });
        if (allFit)
            m_problems << QStringLiteral("on a clean line the update of willing cards failed");
    }

    // No fault struck during the operation, nothing doubtful was on the
    // line, and the device is there.
    bool cleanLine(const Before& before) const
    {
        return m_faults.totalCount() == before.faults &&
               m_window.simulatedSwitch.doubtfulCards().empty() &&
               m_faults.count(Fault::DeviceVanished) == 0;
    }

    static QString cardNames(const QList<int>& cards)
    {
        if (cards.size() > 8)
            return QStringLiteral("%1 cards from %2").arg(cards.size()).arg(cards.first());
        QStringList names;
        for (const int number : cards)
            names << QString::number(number);
        return names.join(QLatin1Char(','));
    }

    std::uint32_t m_seed;
    std::mt19937 m_random;
    FaultInjector m_faults;
    const FirmwareFiles& m_files;
    Tally& m_tally;
    double m_vanishChance = 0; // per byte of a version query or reset
    OperationWindow m_window;
    QStringList m_problems;
};

std::uint32_t environmentNumber(const char* name, std::uint32_t fallback)
{
    bool ok = false;
    const auto value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : fallback;
}

} // namespace

class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("quorlink.*=false")); }

    void randomOperationsUnderRandomFaults()
    {
        const std::uint32_t firstSeed = environmentNumber("QUORLINK_SOAK_SEED", 20261206);
        const int runsPerKind = static_cast<int>(environmentNumber("QUORLINK_SOAK_RUNS", 100));
        Tally tally;
        const FirmwareFiles files;
        std::array<int, KindCount> left;
        left.fill(runsPerKind);
        for (std::uint32_t seed = firstSeed;
             std::any_of(left.begin(), left.end(), [](int n) { return n > 0; }); ++seed) {
            Session session(seed, files, tally);
            for (int number = 1, count = session.between(1, 4); number <= count; ++number) {
                auto kind = Kind(session.between(0, KindCount - 1));
                if (left[static_cast<int>(kind)] == 0)
                    continue;
                --left[static_cast<int>(kind)];
                if (!session.run(kind, number))
                    break;
            }
            if (tally.failures.size() >= 10)
                break;
        }
        qInfo().noquote() << tally.report();
        if (!tally.failures.isEmpty())
            QFAIL(qPrintable(tally.failures.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"
