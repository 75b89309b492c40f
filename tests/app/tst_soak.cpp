// Randomized soak on virtual time: version runs, resets and updates through
// the window, with random selections, random cards, random faults on the
// line and random user actions at random moments while they run, each
// followed by one check of what the user was told against what the
// simulated cards really hold, and of the state the window is left in.
// Every session ends with a close request, which must close the window.
//
// Every session of a few operations has its own seed. A failure names it:
//   QUORLINK_SOAK_SEED=<seed> QUORLINK_SOAK_RUNS=<n> tst_soak
// replays from that session on. QUORLINK_SOAK_RUNS is the number of
// operations of each kind (default 100).
#include "operationfixture.h"

#include "app/comportdialog.h"
#include "sim/faultinjector.h"

#include <QCloseEvent>
#include <QLoggingCategory>
#include <QWindow>

#include <random>
#include <set>

using quorlink::sim::Fault;
using quorlink::test::SampleFile;
namespace ToolbarButton = quorlink::app::ToolbarButton;
namespace protocol = quorlink::link::protocol;

namespace {

constexpr int FirmwareVersion = 0, HardwareVersion = 1, Reset = 2, Update = 3;
const char* const KindNames[] = {"F/W version", "H/W version", "reset", "update"};

// What a user may do while an operation runs: the seven toolbar commands
// (Cancel to Reset, by their button or their Alt key), a card click,
// Options > Advanced, Options > Com Port, the close box and File > Exit.
constexpr int Cancel = 0, SelectAll = 1, UnselectAll = 2, CardClick = 7, Advanced = 8, ComPort = 9,
              CloseBox = 10, FileExit = 11, ActionCount = 12;
const std::pair<int, Qt::Key> CommandKeys[] = {{ToolbarButton::Cancel, Qt::Key_C},
                                               {ToolbarButton::SelectAll, Qt::Key_S},
                                               {ToolbarButton::UnselectAll, Qt::Key_U},
                                               {ToolbarButton::Start, Qt::Key_T},
                                               {ToolbarButton::FirmwareVersion, Qt::Key_V},
                                               {ToolbarButton::HardwareVersion, Qt::Key_W},
                                               {ToolbarButton::Reset, Qt::Key_R}};

// A disabled control ignores the user's click or key, and QTest warns that
// nobody took it; that is what the soak expects of a locked window.
QtMessageHandler previousMessageHandler = nullptr;
void dropIgnoredInputWarnings(QtMsgType type, const QMessageLogContext& context,
                              const QString& text)
{
    if (type != QtWarningMsg || !text.contains(QLatin1String("not accepted by receiving widget")))
        previousMessageHandler(type, context, text);
}

// A remote file, a management card file in the cards' language and one that
// changes it.
struct FirmwareFiles
{
    QTemporaryDir folder;
    SampleFile remote = quorlink::test::remoteFile(folder.path(), "QLREM ver1.08 US");
    SampleFile manager = quorlink::test::managerFile(folder.path(), "QLMGR ver2.32 US");
    SampleFile managerInGerman =
        quorlink::test::managerFile(folder.path(), "QLMGR ver2.32 DE", "qdx_mgt232de_e.hex");
};

// What the window showed and the cards held before an operation.
struct Before
{
    std::map<int, QString> lines;
    std::map<int, qsizetype> resets, images;
    qsizetype prompts = 0;
    int faults = 0;
    bool deviceGone = false;
};

QString cardNames(const QList<int>& cards)
{
    QStringList names;
    for (const int number : cards)
        names << QString::number(number);
    return names.join(QLatin1Char(','));
}

// One session: a window on a switch with random cards and random faults,
// and a few operations with random selections.
class Session
{
public:
    Session(std::uint32_t seed, const FirmwareFiles& files, QStringList& failures)
        : m_seed(seed), m_random(seed), m_faults(seed * 2654435761u), m_files(files),
          m_failures(failures)
    {
        setUpCards();
        setUpFaults();
        m_faults.setVanishHandler([this] { m_window.devices.setRemoved(1, true); });
        m_window.simulatedSwitch.setFaultInjector(&m_faults);
    }
    ~Session() { m_window.simulatedSwitch.setFaultInjector(nullptr); }

    // Runs one operation of `kind`; false when a check failed.
    bool run(int kind, int number)
    {
        m_problems.clear();
        m_cancelledAt = -1;
        m_selectionTouched = m_advancedChosen = false;
        setAdvanced(false);
        chooseCards();
        const Before before = look();
        const QList<int> remote = m_window.form->selectedRemoteCards();
        const QList<int> target = remote.isEmpty() ? QList<int>{1} : remote;
        m_window.simulatedSwitch.clearDoubtfulCards();
        m_window.simulatedSwitch.trace().clear();
        // An update writes some thousand bytes, a version query three per card.
        m_faults.setChance(Fault::DeviceVanished,
                           kind == Update ? m_vanishChance / 100 : m_vanishChance);
        if (kind == Update) {
            runUpdate(before, target);
        } else if (kind == Reset) {
            setAdvanced(true);
            operate(ToolbarButton::Reset, Qt::Key_R);
            checkIdle();
            checkReset(before, target);
        } else {
            const bool hardware = kind == HardwareVersion;
            operate(hardware ? ToolbarButton::HardwareVersion : ToolbarButton::FirmwareVersion,
                    hardware ? Qt::Key_W : Qt::Key_V);
            checkIdle();
            checkVersions(hardware, before, target);
        }
        // Late bytes and a quiet line between the user's commands.
        m_window.clock.sleep(between(0, 3) == 0 ? between(0, 2000) : 0);
        m_window.clock.yield();
        if (!m_problems.isEmpty())
            m_failures << QStringLiteral("QUORLINK_SOAK_SEED=%1, operation %2 (%3 of cards %4, "
                                         "faults %5): %6")
                              .arg(m_seed)
                              .arg(number)
                              .arg(QLatin1String(KindNames[kind]), cardNames(target),
                                   m_faults.summary(), m_problems.join(QStringLiteral("; ")));
        return m_problems.isEmpty();
    }

    // The user closes the window with its close box or File > Exit at the
    // end of a session: it closes, and the port with it.
    void close()
    {
        auto& form = *m_window.form;
        if (between(0, 1) == 0) {
            if (!menuItemUsable(form.mnuFile, form.mnuExit))
                m_failures
                    << QStringLiteral("seed %1: File > Exit unusable at the end").arg(m_seed);
            form.mnuExit->trigger();
        } else {
            pressCloseBox();
        }
        if (form.isVisible() || form.MSComm1.portOpen())
            m_failures << QStringLiteral("seed %1: the window stayed open at the end").arg(m_seed);
    }

    int between(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }

private:
    // Notes a problem: `text` with its %1, %2... filled in order.
    template <typename... Args> void problem(const char* text, const Args&... args)
    {
        QString note = QString::fromLatin1(text);
        ((note = note.arg(args)), ...);
        m_problems << note;
    }

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
        for (int kind = 0; kind < quorlink::sim::FaultKindCount; ++kind) {
            if (between(0, 1) == 0)
                continue;
            if (Fault(kind) == Fault::DeviceVanished)
                m_vanishChance = between(1, 10) / 2000.0;
            else
                m_faults.setChance(Fault(kind), between(2, 25) / 100.0);
        }
    }

    // Starts a command with random user actions at random moments while it
    // runs: at once, or within 0.3, 3 or 30 s of virtual time. Those still
    // due when it has ended are dropped.
    void operate(int button, Qt::Key key)
    {
        const auto live = std::make_shared<bool>(true);
        for (int count = between(0, 4) == 0 ? 0 : between(1, 3); count > 0; --count) {
            const int action = between(0, ActionCount - 1);
            const int scale = between(0, 3);
            const int delay = scale == 0 ? 0
                                         : between(0, scale == 1   ? 300'000
                                                      : scale == 2 ? 3'000'000
                                                                   : 30'000'000);
            m_window.clock.post(m_window.clock.nowMicroseconds() + delay, [this, action, live] {
                if (*live)
                    act(action);
            });
        }
        if (between(0, 3) == 0)
            m_window.pressAlt(key);
        else
            m_window.pressButton(button);
        *live = false;
    }

    void act(int action)
    {
        // A modal dialog takes the user's input for itself.
        if (QApplication::activeModalWidget())
            return;
        auto& form = *m_window.form;
        bool usable = false;
        if (action == CardClick) {
            usable = clickAnyCard();
        } else if (action == Advanced) {
            usable = menuItemUsable(form.mnuOptions, form.mnuAdvanced);
            if (usable)
                form.mnuAdvanced->trigger();
        } else if (action == ComPort) {
            usable = menuItemUsable(form.mnuOptions, form.mnuPort);
            if (usable)
                chooseComPort();
        } else if (action == CloseBox || action == FileExit) {
            usable = action == CloseBox || menuItemUsable(form.mnuFile, form.mnuExit);
            if (usable)
                requestCloseDuringOperation(action == CloseBox);
        } else {
            usable = giveCommand(action);
        }
        if (!usable)
            return;
        if (action == Cancel && m_cancelledAt < 0)
            m_cancelledAt = m_window.prompts.log().size();
        m_advancedChosen = m_advancedChosen || action == Advanced;
        m_selectionTouched = m_selectionTouched || action == Cancel || action == SelectAll ||
                             action == UnselectAll || action == CardClick;
    }

    // A toolbar command by its button or its Alt key, released on the
    // control that has the focus. Returns whether the window took it: the
    // button was enabled, or the window was (Reset only in Advanced mode).
    bool giveCommand(int action)
    {
        auto& form = *m_window.form;
        const auto [button, key] = CommandKeys[action];
        if (between(0, 1) == 0) {
            const bool enabled = form.asxToolbar1->button(button)->isEnabled();
            m_window.pressButton(button);
            return enabled;
        }
        const bool usable =
            form.isEnabled() && (button != ToolbarButton::Reset || form.AdvancedMode);
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && focus->window() == &form ? focus : &form, key, Qt::AltModifier);
        return usable;
    }

    // A click on any card. On a usable list the user may first drag the
    // scroll bar somewhere, then scrolls until the card shows; a locked list
    // gets the click wherever it is.
    bool clickAnyCard()
    {
        const auto [index, row] = m_window.placeOf(between(1, 64));
        quorlink::app::CardList* list = m_window.list(index);
        const bool usable = list->isEnabled();
        if (usable && index > 1) {
            QScrollBar* bar = list->verticalScrollBar();
            if (between(0, 1) == 0)
                bar->setValue(between(bar->minimum(), bar->maximum()));
            m_window.scrollUntilShown(index, row);
        }
        if (m_window.rowShown(index, row))
            m_window.pressAndRelease(index, row);
        else
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->viewport()->rect().center());
        return usable;
    }

    // A disabled action still fires when triggered; a disabled menu item
    // cannot be clicked.
    bool menuItemUsable(const QAction* menu, const QAction* item) const
    {
        return m_window.form->isEnabled() && menu->isEnabled() && item->isEnabled();
    }

    // Options > Com Port, closed with its Cancel at once. It must not open
    // while an operation holds the link.
    void chooseComPort()
    {
        bool opened = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&opened] {
            if (auto* dialog = qobject_cast<quorlink::app::ComPortDialog*>(
                    QApplication::activeModalWidget())) {
                opened = true;
                dialog->cancelButton()->click();
            }
        });
        closer.start(0);
        m_window.form->mnuPort->trigger();
        if (opened && m_window.form->link.operationRunning())
            problem("the Com Port dialog opened while an operation ran");
    }

    // The close box as the window system gives it: a close event to the window.
    void pressCloseBox()
    {
        QCloseEvent event;
        QApplication::sendEvent(m_window.form->windowHandle(), &event);
    }

    // Closing is refused while an operation runs: the window stays, and so
    // does the port it works on.
    void requestCloseDuringOperation(bool closeBox)
    {
        auto& form = *m_window.form;
        if (closeBox)
            pressCloseBox();
        else
            form.mnuExit->trigger();
        if (!form.isVisible() || (!deviceGone() && !form.MSComm1.portOpen()))
            problem("a close request closed the running window or its port");
    }

    void setAdvanced(bool on)
    {
        if (m_window.form->AdvancedMode != on)
            m_window.form->mnuAdvanced->trigger();
    }

    // Clears the selection by clicking each chosen card again, then chooses
    // the management card, every remote card (Select All) or a few.
    void chooseCards()
    {
        for (const int number : m_window.selectedCards())
            clickCard(number);
        if (!m_window.selectedCards().isEmpty())
            problem("clicking the chosen cards again leaves %1 chosen",
                    cardNames(m_window.selectedCards()));
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
            before.resets[number] = card(number).resetTimes().size();
            before.images[number] = card(number).images().size();
        }
        before.prompts = m_window.prompts.log().size();
        before.faults = m_faults.totalCount();
        before.deviceGone = deviceGone();
        return before;
    }

    bool deviceGone() const { return m_faults.count(Fault::DeviceVanished) != 0; }

    // No fault struck during the operation, nothing doubtful was on the
    // line, and the device is there.
    bool cleanLine(const Before& before) const
    {
        return m_faults.totalCount() == before.faults &&
               m_window.simulatedSwitch.doubtfulCards().empty() && !deviceGone();
    }

    // The prompts since `from`: only communication errors, each after its
    // beep. Returns how many.
    int communicationErrors(qsizetype from)
    {
        const QStringList log = m_window.prompts.log().mid(from);
        for (qsizetype i = 0; i < log.size(); ++i) {
            if (log[i] != (i % 2 == 0 ? "beep" : "message:Communication Error")) {
                problem("prompts %1", log.join(QLatin1Char(',')));
                break;
            }
        }
        return static_cast<int>(log.size() / 2);
    }

    // The window back at rest, the port usable, and Advanced mode shown as
    // it is, whichever way the user left it.
    void checkIdle()
    {
        auto& form = *m_window.form;
        if (const QString problems = m_window.idleProblems(); !problems.isEmpty())
            problem("left behind: %1", problems);
        if (!deviceGone() && (!form.MSComm1.portOpen() || form.MSComm1.settings() != "19200,s,8,1"))
            problem("port left at %1", form.MSComm1.settings());
        if (form.mnuAdvanced->isChecked() != form.AdvancedMode ||
            form.asxToolbar1->isButtonEnabled(ToolbarButton::Reset) != form.AdvancedMode)
            problem("Advanced mode shown wrongly");
    }

    // Each line shows its old text (not asked), the plain text or the
    // answer of this run, which is what the card holds unless the switch
    // doubts it. The run stops at the first card without an answer and
    // then shows one communication error; a user's Cancel may stop it
    // sooner, puts the plain texts back and tells of no error after it.
    void checkVersions(bool hardware, const Before& before, const QList<int>& target)
    {
        const bool cancelled = m_cancelledAt >= 0;
        const QString prefix = hardware ? QStringLiteral(" H/W - ") : QStringLiteral(" F/W - ");
        const std::set<int>& doubtful = m_window.simulatedSwitch.doubtfulCards();
        const bool vanishedNow = deviceGone() && !before.deviceGone;
        const QList<int> asked = m_window.cardsAsked();
        if (asked != target.mid(0, asked.size()))
            problem("asked %1", cardNames(asked));
        int answered = 0;
        for (int number = 1; number <= 64; ++number) {
            const QString now = m_window.lineOf(number);
            const QString plain = plainLine(number);
            if (!asked.contains(number)) {
                if (now != before.lines.at(number) && !((vanishedNow || cancelled) && now == plain))
                    problem("card %1 not asked but shows \"%2\"", number, now);
                continue;
            }
            if (!now.startsWith(plain + prefix)) {
                if (now != plain)
                    problem("card %1 shows \"%2\"", number, now);
                continue;
            }
            ++answered;
            const auto& simulated = card(number);
            const QString truth = !simulated.answersQueries() ? QStringLiteral("(no answer)")
                                  : simulated.takesPart() ? (hardware ? simulated.hardwareVersion()
                                                                      : simulated.firmwareVersion())
                                                          : QString(protocol::NotResponding);
            if (doubtful.contains(number))
                continue;
            if (now != plain + prefix + truth)
                problem("card %1 shows \"%2\", holds \"%3\"", number, now, truth);
            const bool chosen = m_window.selectedCards().contains(number);
            if (!m_selectionTouched && chosen != (truth != protocol::NotResponding))
                problem("card %1 chosen %2 after its answer", number, chosen);
        }
        const bool complete = !deviceGone() && answered == target.size() && asked == target;
        const int errors = communicationErrors(before.prompts);
        const int afterCancel = cancelled ? communicationErrors(m_cancelledAt) : 0;
        if (cancelled ? afterCancel != 0 || errors > 1 : errors != (complete ? 0 : 1))
            problem("%1 communication errors (%2 after Cancel), %3 of %4 cards answered", errors,
                    afterCancel, answered, target.size());
        // On a clean line the run goes exactly as far as the first card that
        // cannot answer in time, unless Cancel stops it sooner.
        QList<int> expected;
        for (const int number : target) {
            expected << number;
            if (!card(number).answersQueries() || card(number).replyDelayMilliseconds() > 300)
                break;
        }
        if (cleanLine(before) && asked != expected.mid(0, cancelled ? asked.size() : -1))
            problem("on a clean line asked %1 instead of %2", cardNames(asked),
                    cardNames(expected));
    }

    // Only cards chosen at the start restart; an acknowledged reset
    // restarted one of them at least, and a clean line acknowledges exactly
    // when one can answer. The selection stays unless the user changed it,
    // and Advanced mode ends unless the user chose it again meanwhile.
    void checkReset(const Before& before, const QList<int>& target)
    {
        if (!m_advancedChosen && m_window.form->AdvancedMode)
            problem("Advanced mode left on");
        QList<int> restarted;
        for (int number = 1; number <= 64; ++number) {
            if (card(number).resetTimes().size() != before.resets.at(number))
                restarted << number;
        }
        if (!std::all_of(restarted.begin(), restarted.end(),
                         [&target](int number) { return target.contains(number); }))
            problem("cards %1 restarted", cardNames(restarted));
        if (!m_selectionTouched && m_window.selectedCards() != target)
            problem("the selection changed");
        const int errors = communicationErrors(before.prompts);
        const std::set<int>& doubtful = m_window.simulatedSwitch.doubtfulCards();
        const bool trusted = std::none_of(target.begin(), target.end(), [&doubtful](int number) {
            return doubtful.contains(number);
        });
        const bool oneCanAnswer = std::any_of(
            target.begin(), target.end(), [this](int number) { return card(number).takesPart(); });
        if (errors > 1 || (errors == 0 && trusted && restarted.isEmpty()) ||
            (cleanLine(before) && errors != (oneCanAnswer ? 0 : 1)))
            problem("%1 communication errors, cards %2 restarted", errors, cardNames(restarted));
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
        const bool confirm = between(0, 9) != 0;
        quorlink::test::VersionDialogAnswer answer(confirm);
        operate(ToolbarButton::Start, Qt::Key_T);
        checkIdle();
        checkUpdate(before, target, file, answer.shown && !confirm);
    }

    // Only chosen cards are written. An update reported done (the versions
    // read back; for the management card the hot key message) means every
    // chosen card that takes part holds exactly the file's images, unless the
    // switch doubts it; one that failed showed its message.
    void checkUpdate(const Before& before, const QList<int>& target, const SampleFile& file,
                     bool cancelled)
    {
        const bool manager = target == QList<int>{protocol::ManagementCard};
        bool downloaded = false;
        bool readBack = false;
        for (const auto& byte : m_window.simulatedSwitch.trace().pcBytes()) {
            if (byte.parity != quorlink::Parity::Mark)
                continue;
            downloaded = downloaded || byte.value == protocol::DownloadCommand;
            readBack = readBack || (downloaded && byte.value == protocol::FirmwareVersionCommand);
        }
        const QStringList log = m_window.prompts.log().mid(before.prompts);
        const bool hotKey = log.contains(QStringLiteral("message:Warning")) &&
                            m_window.prompts.messages().back().text.startsWith("Now Your OSD");
        const bool done = manager ? hotKey : readBack;
        if ((manager && hotKey != readBack) ||
            (downloaded && !done && !log.contains("message:Communication Error") &&
             !log.contains("message:Verification Error")))
            problem("update ended with prompts %1", log.join(QLatin1Char(',')));
        if (cancelled && downloaded)
            problem("sent the firmware although the dialog was cancelled");
        for (int number = 1; number <= 64; ++number) {
            const auto& simulated = card(number);
            const QList<QStringList> received = simulated.images().mid(before.images.at(number));
            if (!target.contains(number) && !received.isEmpty())
                problem("card %1 written though not chosen", number);
            if (!target.contains(number) || !done ||
                m_window.simulatedSwitch.doubtfulCards().contains(number))
                continue;
            if (simulated.takesPart() && received != file.images)
                problem("update reported done, card %1 holds %2 new images", number,
                        received.size());
            const QString line = m_window.lineOf(number);
            const QString truth = simulated.takesPart() ? simulated.firmwareVersion()
                                                        : QString(protocol::NotResponding);
            if (line != plainLine(number) && line != before.lines.at(number) &&
                line != plainLine(number) + QStringLiteral(" F/W - ") + truth)
                problem("card %1 shows \"%2\", holds \"%3\"", number, line, truth);
        }
        if (m_window.form->ProgBar1->barStartColour() != 0xFF0000u)
            problem("the red bar left behind");
        // On a clean line an update of cards that all answer and take part
        // is done, unless the user cancelled it or changed the selection.
        const bool allFit = std::all_of(target.begin(), target.end(), [this](int number) {
            return card(number).takesPart() && card(number).replyDelayMilliseconds() < 300;
        });
        if (cleanLine(before) && !cancelled && !done && m_cancelledAt < 0 && !m_selectionTouched &&
            allFit)
            problem("on a clean line the update of willing cards failed");
    }

    std::uint32_t m_seed;
    std::mt19937 m_random;
    quorlink::sim::FaultInjector m_faults;
    const FirmwareFiles& m_files;
    QStringList& m_failures;
    double m_vanishChance = 0; // per byte of a version query or reset
    quorlink::test::OperationWindow m_window;
    // Of the operation that runs: the problems found, and what the user's
    // actions that reached a usable control may have changed.
    QStringList m_problems;
    qsizetype m_cancelledAt = -1; // prompts before the first Cancel
    bool m_selectionTouched = false;
    bool m_advancedChosen = false;
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
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("quorlink.*=false"));
        previousMessageHandler = qInstallMessageHandler(dropIgnoredInputWarnings);
        // Each session closes its window; the test goes on.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void randomOperationsUnderRandomFaultsAndUserActions()
    {
        const std::uint32_t firstSeed = environmentNumber("QUORLINK_SOAK_SEED", 20261206);
        const int runsPerKind = static_cast<int>(environmentNumber("QUORLINK_SOAK_RUNS", 100));
        QStringList failures;
        const FirmwareFiles files;
        std::array<int, 4> left;
        left.fill(runsPerKind);
        for (std::uint32_t seed = firstSeed;
             failures.size() < 10 &&
             std::any_of(left.begin(), left.end(), [](int n) { return n > 0; });
             ++seed) {
            Session session(seed, files, failures);
            bool passed = true;
            for (int number = 1, count = session.between(1, 4); number <= count && passed;
                 ++number) {
                const int kind = session.between(0, 3);
                if (left[kind] == 0)
                    continue;
                --left[kind];
                passed = session.run(kind, number);
            }
            if (passed)
                session.close();
        }
        if (!failures.isEmpty())
            QFAIL(qPrintable(failures.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"
