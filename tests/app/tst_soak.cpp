// Randomized soak on virtual time: version runs, resets and updates through
// the window, with random selections, random cards, random faults on the
// line and random user actions at random moments while they run. Each must
// leave the window at rest, and on a clean line undisturbed by the user it
// must succeed. Every session ends with a close request, which must close
// the window.
//
// Every session of a few operations has its own seed. A failure names it:
//   QUORLINK_SOAK_SEED=<seed> QUORLINK_SOAK_RUNS=<n> tst_soak
// replays from that session on. 4 * QUORLINK_SOAK_RUNS operations run
// (default 100), of random kinds.
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
// (by their button, 1 to 7, or their Alt key), a card click, Options >
// Advanced, Options > Com Port, the close box and File > Exit.
constexpr int CardClick = 8, Advanced = 9, ComPort = 10, CloseBox = 11, FileExit = 12;
const char* const CommandKeys = "SUTVWCR";

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
    Session(std::uint32_t seed, const FirmwareFiles& files)
        : m_seed(seed), m_random(seed), m_faults(seed * 2654435761u), m_files(files)
    {
        setUpCards();
        setUpFaults();
        m_faults.setVanishHandler([this] { m_window.devices.setRemoved(1, true); });
        m_window.simulatedSwitch.setFaultInjector(&m_faults);
    }
    ~Session() { m_window.simulatedSwitch.setFaultInjector(nullptr); }

    // Runs one operation of `kind`; what went wrong, if anything.
    QString run(int kind, int number)
    {
        m_problems.clear();
        m_userTouched = false;
        setAdvanced(false);
        chooseCards();
        const QList<int> remote = m_window.form->selectedRemoteCards();
        m_target = remote.isEmpty() ? QList<int>{1} : remote;
        m_window.simulatedSwitch.clearDoubtfulCards();
        m_window.simulatedSwitch.trace().clear();
        m_faultsBefore = m_faults.totalCount();
        m_window.prompts.clear();
        // An update writes some thousand bytes, a version query three per card.
        m_faults.setChance(Fault::DeviceVanished,
                           kind == Update ? m_vanishChance / 100 : m_vanishChance);
        if (kind == Update) {
            runUpdate();
        } else if (kind == Reset) {
            setAdvanced(true);
            operate(ToolbarButton::Reset, Qt::Key_R);
            checkReset();
        } else {
            const bool hardware = kind == HardwareVersion;
            operate(hardware ? ToolbarButton::HardwareVersion : ToolbarButton::FirmwareVersion,
                    hardware ? Qt::Key_W : Qt::Key_V);
            checkVersions();
        }
        // Late bytes and a quiet line between the user's commands.
        m_window.clock.sleep(between(0, 3) == 0 ? between(0, 2000) : 0);
        m_window.clock.yield();
        if (m_problems.isEmpty())
            return {};
        return QStringLiteral("QUORLINK_SOAK_SEED=%1, operation %2 (%3 of cards %4, faults %5): %6")
            .arg(m_seed)
            .arg(number)
            .arg(QLatin1String(KindNames[kind]), cardNames(m_target), m_faults.summary(),
                 m_problems.join(QStringLiteral("; ")));
    }

    // The user closes the window with its close box or File > Exit at the
    // end of a session: it closes, and the port with it.
    bool close()
    {
        requestClose(between(0, 1) == 0);
        return !m_window.form->isVisible() && !m_window.session->port().portOpen();
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
    // due when it has ended are dropped. Then the window must be at rest.
    void operate(int button, Qt::Key key)
    {
        const auto live = std::make_shared<bool>(true);
        for (int count = between(0, 4) == 0 ? 0 : between(1, 3); count > 0; --count) {
            const int action = between(1, FileExit);
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
        checkIdle();
    }

    // Any action may change what the run can finish; only a locked window
    // keeps the user out.
    void act(int action)
    {
        // A modal dialog takes the user's input for itself.
        if (QApplication::activeModalWidget())
            return;
        auto& form = *m_window.form;
        const auto& ui = form.controls();
        const bool usable = form.isEnabled();
        // A disabled action still fires when triggered; a disabled menu item
        // cannot be clicked.
        const auto item = [usable](const QAction* menu, const QAction* entry) {
            return usable && menu->isEnabled() && entry->isEnabled();
        };
        if (action == CardClick) {
            clickAnyCard();
        } else if (action == Advanced) {
            if (item(ui.mnuOptions, ui.mnuAdvanced))
                ui.mnuAdvanced->trigger();
        } else if (action == ComPort) {
            if (item(ui.mnuOptions, ui.mnuPort))
                chooseComPort();
        } else if (action == CloseBox || (action == FileExit && item(ui.mnuFile, ui.mnuExit))) {
            requestClose(action == CloseBox);
            // Refused while an operation runs: the window stays, and its port.
            if (!form.isVisible() || (!deviceGone() && !m_window.session->port().portOpen()))
                problem("a close request closed the running window or its port");
        } else if (action < CardClick) {
            // A toolbar command by its button or its Alt key, released on
            // the control that has the focus.
            QWidget* focus = QApplication::focusWidget();
            if (between(0, 1) == 0)
                m_window.pressButton(action);
            else
                QTest::keyClick(focus && focus->window() == &form ? focus : &form,
                                Qt::Key(CommandKeys[action - 1]), Qt::AltModifier);
        }
        m_userTouched = m_userTouched || usable;
    }

    // A click on any card. On a usable list the user scrolls until the
    // card shows; a locked list gets the click wherever it is.
    void clickAnyCard()
    {
        const auto [index, row] = m_window.placeOf(between(1, 64));
        quorlink::app::CardList* list = m_window.list(index);
        if (list->isEnabled() && index > 1)
            m_window.scrollUntilShown(index, row);
        if (m_window.rowShown(index, row))
            m_window.pressAndRelease(index, row);
        else
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->viewport()->rect().center());
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
        m_window.form->controls().mnuPort->trigger();
        if (opened && m_window.session->link().operationRunning())
            problem("the Com Port dialog opened while an operation ran");
    }

    // The close box as the window system gives it (a close event to the
    // window), or File > Exit.
    void requestClose(bool closeBox)
    {
        QCloseEvent event;
        if (closeBox)
            QApplication::sendEvent(m_window.form->windowHandle(), &event);
        else
            m_window.form->controls().mnuExit->trigger();
    }

    void setAdvanced(bool on)
    {
        if (m_window.form->advancedMode() != on)
            m_window.form->controls().mnuAdvanced->trigger();
    }

    // Clears the selection by clicking each chosen card again, then chooses
    // the management card, every remote card (Select All) or a few.
    void chooseCards()
    {
        for (const int number : m_window.selectedCards())
            clickCard(number);
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

    bool deviceGone() const { return m_faults.count(Fault::DeviceVanished) != 0; }

    // No fault struck during the operation, nothing doubtful was on the
    // line, the device is there and the user kept out of the run.
    bool cleanRun() const
    {
        return m_faults.totalCount() == m_faultsBefore &&
               m_window.simulatedSwitch.doubtfulCards().empty() && !deviceGone() && !m_userTouched;
    }

    // The window back at rest, the port usable, the bar blue, and Advanced
    // mode shown as it is, whichever way the user left it.
    void checkIdle()
    {
        auto& form = *m_window.form;
        const auto& ui = form.controls();
        if (const QString problems = m_window.idleProblems(); !problems.isEmpty())
            problem("left behind: %1", problems);
        const quorlink::CommPort& port = m_window.session->port();
        if (!deviceGone() && (!port.portOpen() || port.settings() != "19200,s,8,1"))
            problem("port left at %1", port.settings());
        if (ui.mnuAdvanced->isChecked() != form.advancedMode() ||
            ui.asxToolbar1->isButtonEnabled(ToolbarButton::Reset) != form.advancedMode())
            problem("Advanced mode shown wrongly");
        if (ui.ProgBar1->barStartColour() != 0xFF0000u)
            problem("the red bar left behind");
    }

    // On a clean run the cards are asked in order up to the first that
    // cannot answer in time, which then brings one communication error.
    void checkVersions()
    {
        QList<int> expected;
        for (const int number : m_target) {
            expected << number;
            if (!card(number).answersQueries() || card(number).replyDelayMilliseconds() > 300)
                break;
        }
        const bool stopped = !card(expected.last()).answersQueries() ||
                             card(expected.last()).replyDelayMilliseconds() > 300;
        const QList<int> asked = m_window.cardsAsked();
        const int errors = m_window.communicationErrors();
        if (cleanRun() && (asked != expected || errors != (stopped ? 1 : 0)))
            problem("on a clean line asked %1 instead of %2, %3 communication errors",
                    cardNames(asked), cardNames(expected), errors);
    }

    // On a clean run the reset ends Advanced mode and is acknowledged
    // exactly when one of the chosen cards can answer.
    void checkReset()
    {
        const bool oneCanAnswer = std::any_of(m_target.begin(), m_target.end(),
                                              [this](int number) { return card(number).takesPart(); });
        const int errors = m_window.communicationErrors();
        if (cleanRun() && (m_window.form->advancedMode() || errors != (oneCanAnswer ? 0 : 1)))
            problem("on a clean line %1 communication errors", errors);
    }

    // File > Open with the file that fits the chosen cards, Start, and the
    // version dialog answered (mostly OK); the language question is answered
    // Yes by the recorder. On a clean run an update of cards that all take
    // part in time ends reading the versions back.
    void runUpdate()
    {
        const bool manager = m_target == QList<int>{protocol::ManagementCard};
        m_window.prompts.scriptFile(!manager             ? m_files.remote.path
                                    : between(0, 2) == 0 ? m_files.managerInGerman.path
                                                         : m_files.manager.path);
        m_window.form->controls().mnuOpen->trigger();
        const bool confirm = between(0, 9) != 0;
        quorlink::test::VersionDialogAnswer answer(confirm);
        operate(ToolbarButton::Start, Qt::Key_T);
        bool downloaded = false;
        bool readBack = false;
        for (const auto& byte : m_window.simulatedSwitch.trace().pcBytes()) {
            if (byte.parity != quorlink::Parity::Mark)
                continue;
            downloaded = downloaded || byte.value == protocol::DownloadCommand;
            readBack = readBack || (downloaded && byte.value == protocol::FirmwareVersionCommand);
        }
        if (!confirm && answer.shown && downloaded)
            problem("sent the firmware although the dialog was cancelled");
        const bool allFit = std::all_of(m_target.begin(), m_target.end(), [this](int number) {
            return card(number).takesPart() && card(number).replyDelayMilliseconds() < 300;
        });
        if (cleanRun() && confirm && allFit && !readBack)
            problem("on a clean line the update of willing cards failed");
    }

    std::uint32_t m_seed;
    std::mt19937 m_random;
    quorlink::sim::FaultInjector m_faults;
    const FirmwareFiles& m_files;
    double m_vanishChance = 0; // per byte of a version query or reset
    quorlink::test::OperationWindow m_window;
    // Of the operation that runs.
    QStringList m_problems;
    QList<int> m_target;
    int m_faultsBefore = 0;
    bool m_userTouched = false; // an action reached a usable window
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
        const int operations = 4 * int(environmentNumber("QUORLINK_SOAK_RUNS", 100));
        const FirmwareFiles files;
        for (std::uint32_t seed = environmentNumber("QUORLINK_SOAK_SEED", 20261206), done = 0;
             int(done) < operations; ++seed) {
            Session session(seed, files);
            for (int number = 1, count = session.between(1, 4); number <= count; ++number, ++done) {
                const QString problems = session.run(session.between(0, 3), number);
                QVERIFY2(problems.isEmpty(), qPrintable(problems));
            }
            const QString open = QStringLiteral("seed %1: the window stayed open at the end");
            QVERIFY2(session.close(), qPrintable(open.arg(seed)));
        }
    }
};

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"
