#include "operationfixture.h"

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::Parity;
using quorlink::test::BarWatcher;
using quorlink::test::OperationWindow;
using quorlink::test::Sampler;

namespace {

// Chooses as the user does: "S" is Alt+S (Select All), "list:row" a click,
// "+1" the management item selected beside a remote card.
void choose(const OperationWindow& window, const QString& steps)
{
    for (const QString& step : steps.split(QLatin1Char(' '))) {
        if (step == QLatin1String("S"))
            window.pressAlt(Qt::Key_S);
        else if (step == QLatin1String("+1"))
            window.list(1)->setItemSelected(0, true);
        else
            window.choose(step.section(QLatin1Char(':'), 0, 0).toInt(),
                          step.section(QLatin1Char(':'), 1).toInt());
    }
}

// What the PC writes to reset the cards at `addresses`: a frame each, then
// the 0x00 under space parity.
QString resetFrames(const QList<int>& addresses)
{
    QString text;
    for (int address : addresses)
        text += QStringLiteral("m51 m4C m52 m45 m53 m45 m54 m%1 mFB ")
                    .arg(QString::number(address, 16).toUpper());
    return text + QStringLiteral("s00");
}

QList<int> cardsReset(const OperationWindow& window)
{
    QList<int> cards;
    for (int card = 1; card <= 64; ++card) {
        if (!window.simulatedSwitch.card(card).resetTimes().isEmpty())
            cards << card;
    }
    return cards;
}

QList<int> markedForReset(const quorlink::app::MainForm& form)
{
    QList<int> cards;
    for (std::size_t i = 0; i < form.RemoteCardSelected.size(); ++i) {
        if (form.RemoteCardSelected[i])
            cards << static_cast<int>(i) + 2;
    }
    return cards;
}

} // namespace

class CardResetTest : public QObject
{
    Q_OBJECT

private slots:
    void resetRestartsTheChosenCardsAndLeavesAdvancedMode_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<QList<int>>("addresses");
        QTest::addColumn<QList<int>>("reset");
        QTest::addColumn<QList<int>>("marked"); // RemoteCardSelected while the reset runs
        QTest::newRow("management card")
            << "1:0" << false << QList<int>{0x81} << QList<int>{1} << QList<int>{};
        QTest::newRow("management and a remote card: only the remote card")
            << "2:3 +1" << false << QList<int>{0x85} << QList<int>{5} << QList<int>{5};
        QTest::newRow("one card of the second list, Alt+R")
            << "3:7" << true << QList<int>{0xA8} << QList<int>{40} << QList<int>{40};
        QTest::newRow("every listed card: one frame to all")
            << "S" << false << QList<int>{0xFF} << OperationWindow::cards(2, 64)
            << OperationWindow::cards(2, 64);
        QList<int> allBut17;
        for (int card : OperationWindow::cards(2, 64, 17))
            allBut17 << 0x80 + card;
        QTest::newRow("62 of 63: a frame each in card order")
            << "S 2:15" << true << allBut17 << OperationWindow::cards(2, 64, 17)
            << OperationWindow::cards(2, 64, 17);
    }
    void resetRestartsTheChosenCardsAndLeavesAdvancedMode()
    {
        QFETCH(QString, choice);
        QFETCH(bool, byKey);
        QFETCH(QList<int>, addresses);
        QFETCH(QList<int>, reset);
        QFETCH(QList<int>, marked);
        OperationWindow window;
        auto& form = window.window();
        form.mnuAdvanced->trigger();
        choose(window, choice);
        const QList<int> selected = window.selectedCards();
        QList<int> markedWhileRunning;
        Sampler sampler(window.clock, [&] {
            if (form.link.operationRunning() && markedWhileRunning.isEmpty())
                markedWhileRunning = markedForReset(form);
        });

        if (byKey)
            window.pressAlt(Qt::Key_R);
        else
            window.pressButton(ToolbarButton::Reset);
        sampler.stop();

        QCOMPARE(window.simulatedSwitch.trace().pcText(), resetFrames(addresses));
        QCOMPARE(cardsReset(window), reset);
        QCOMPARE(markedWhileRunning, marked);
        QCOMPARE(markedForReset(form), QList<int>{});
        QVERIFY(!form.AdvancedMode && !form.mnuAdvanced->isChecked());
        QVERIFY(!window.buttonEnabled(ToolbarButton::Reset));
        QCOMPARE(window.idleProblems(), QString());
        QVERIFY(form.mnuOpen->isEnabled());
        QCOMPARE(window.selectedCards(), selected);
        QCOMPARE(window.prompts.entries().size(), std::size_t{0});
        QCOMPARE(form.MSComm1.settings(), QStringLiteral("19200,s,8,1"));
    }

    void theBarCountsElevenTicksThenShowsCompletion()
    {
        OperationWindow window;
        auto& form = window.window();
        form.mnuAdvanced->trigger();
        window.choose(2, 3);
        BarWatcher watcher(window.clock, form);
        window.clock.post(window.clock.nowMicroseconds() + 650'000,
                          [&] { quorlink::test::saveShot(form, QStringLiteral("reset-bar")); });

        window.pressButton(ToolbarButton::Reset);

        QStringList bar{"0 black"};
        for (int value = 10; value <= 100; value += 10)
            bar << QStringLiteral("%1 %2").arg(value).arg(value > 52 ? "white" : "black");
        bar << "0 white";
        QCOMPARE(watcher.stop(), bar);
        // 100 ms a step; 100 is held for the eleventh tick and the completion.
        // The watcher looks every millisecond.
        const QList<std::int64_t>& times = watcher.times();
        const auto lasted = [&](int i, std::int64_t milliseconds) {
            return qAbs(times[i] - times[i - 1] - milliseconds * 1000) <= 1000;
        };
        for (int i = 2; i < 11; ++i)
            QVERIFY(lasted(i, 100));
        QVERIFY(lasted(11, 200));
        QCOMPARE(watcher.statuses(),
                 (QStringList{"Status:", "Status: Reset", "Status: Reset in process ...",
                              "Status: Reset completed", "Status:"}));
    }

    void nothingSelectedWarnsAndWritesNothing()
    {
        OperationWindow window;
        window.window().mnuAdvanced->trigger();
        window.pressAlt(Qt::Key_R);
        QCOMPARE(window.prompts.log(), (QStringList{"beep", "message:Warning"}));
        QCOMPARE(window.prompts.messages().front().text,
                 QStringLiteral("You must choose card(s) for reset"));
        QCOMPARE(window.simulatedSwitch.trace().entries().size(), std::size_t{0});
    }

    void aCommandDuringAResetIsIgnored_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Reset button") << "reset button";
        QTest::newRow("Alt+R") << "R";
        QTest::newRow("Alt+V") << "V";
        QTest::newRow("Alt+W") << "W";
    }
    void aCommandDuringAResetIsIgnored()
    {
        QFETCH(QString, command);
        OperationWindow window;
        auto& form = window.window();
        window.simulatedSwitch.card(5).setReplyDelay(500);
        form.mnuAdvanced->trigger();
        window.choose(2, 3);
        BarWatcher watcher(window.clock, form);
        // In the middle of the acknowledgement wait.
        window.clock.post(window.clock.nowMicroseconds() + 200'000, [&] {
            if (command == "reset button")
                window.pressButton(ToolbarButton::Reset);
            else
                window.pressAlt(static_cast<Qt::Key>(command.at(0).unicode()));
        });

        window.pressButton(ToolbarButton::Reset);
        watcher.stop();

        QCOMPARE(window.simulatedSwitch.trace().pcText(), resetFrames({0x85}));
        QCOMPARE(window.simulatedSwitch.card(5).resetTimes().size(), 1);
        // The reset took its own acknowledgement and finished.
        QVERIFY(watcher.statuses().contains("Status: Reset completed"));
        QCOMPARE(window.prompts.entries().size(), std::size_t{0});
        QVERIFY(!form.AdvancedMode);
        QCOMPARE(window.idleProblems(), QString());
        QCOMPARE(window.selectedCards(), QList<int>{5});
    }

    // Cancel restores the window at once, whenever it comes. The reset keeps
    // its bytes and its timing to the end, as without Cancel, and afterwards
    // the window is idle, usable and closable.
    void cancelDuringAResetRestoresTheWindowAndTheResetRunsItsCourse_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("cancelAtMs"); // after the press
        QTest::newRow("silent card's wait, button") << false << true << 400;
        QTest::newRow("silent card's wait, Alt+C") << true << true << 900;
        QTest::newRow("answering card's wait, button") << false << false << 200;
        QTest::newRow("animation, Alt+C") << true << false << 800;
    }
    void cancelDuringAResetRestoresTheWindowAndTheResetRunsItsCourse()
    {
        QFETCH(bool, byKey);
        QFETCH(bool, silent);
        QFETCH(int, cancelAtMs);
        struct Course
        {
            std::int64_t lastedUs = 0;
            QString bytes;
            QStringList prompts;
        };
        const auto reset = [&](OperationWindow& window, bool cancel) {
            auto& form = window.window();
            for (int card : {3, 5})
                window.simulatedSwitch.card(card).setReplyDelay(300).setSilent(silent);
            form.mnuAdvanced->trigger();
            window.choose(2, 1);
            window.choose(2, 3);
            const std::int64_t start = window.clock.nowMicroseconds();
            if (cancel) {
                window.clock.post(start + cancelAtMs * 1000, [&] {
                    if (byKey)
                        window.pressAlt(Qt::Key_C);
                    else
                        window.pressButton(ToolbarButton::Cancel);
                    QVERIFY(form.link.operationRunning());
                    QCOMPARE(window.selectedCards(), QList<int>{});
                    QVERIFY(!form.AdvancedMode);
                });
            }
            window.pressButton(ToolbarButton::Reset);
            return Course{window.clock.nowMicroseconds() - start,
                          window.simulatedSwitch.trace().pcText(), window.prompts.log()};
        };
        OperationWindow undisturbed;
        const Course expected = reset(undisturbed, false);
        OperationWindow window;
        auto& form = window.window();

        const Course course = reset(window, true);

        QCOMPARE(course.bytes, resetFrames({0x83, 0x85}));
        QCOMPARE(course.bytes, expected.bytes);
        QCOMPARE(course.lastedUs, expected.lastedUs);
        QCOMPARE(course.prompts, expected.prompts);
        QCOMPARE(window.communicationErrors(), silent ? 1 : 0);
        QCOMPARE(window.idleProblems(), QString());
        QCOMPARE(form.MSComm1.settings(), QStringLiteral("19200,s,8,1"));

        window.simulatedSwitch.trace().clear();
        window.choose(2, 2);
        window.choose(3, 0);
        window.pressButton(ToolbarButton::FirmwareVersion);
        QCOMPARE(window.cardsAsked(), (QList<int>{4, 33}));
        QCOMPARE(window.lineOf(33), QStringLiteral("33. Computer 33 F/W - FW33"));
        form.mnuExit->trigger();
        QVERIFY(!form.isVisible());
    }

    // No acknowledgement, or no port: one message, no reopening, and the
    // reset still finishes and leaves Advanced mode.
    void aResetWithoutAnswerIsReportedOnceAndStillFinishes_data()
    {
        QTest::addColumn<bool>("noFreePort");
        QTest::addColumn<int>("removedAtMs"); // after the press; -1 before it; -2 never
        QTest::addColumn<QList<int>>("reset");
        QTest::newRow("card silent") << false << -2 << QList<int>{};
        QTest::newRow("no free port at start-up") << true << -1 << QList<int>{};
        QTest::newRow("device removed before the command") << false << -1 << QList<int>{};
        QTest::newRow("device removed while waiting") << false << 300 << QList<int>{5};
    }
    void aResetWithoutAnswerIsReportedOnceAndStillFinishes()
    {
        QFETCH(bool, noFreePort);
        QFETCH(int, removedAtMs);
        QFETCH(QList<int>, reset);
        OperationWindow window(OperationWindow::withoutFreePort(noFreePort));
        auto& form = window.window();
        window.simulatedSwitch.card(5).setReplyDelay(500).setSilent(removedAtMs == -2);
        form.mnuAdvanced->trigger();
        window.choose(2, 3);
        if (!noFreePort && removedAtMs != -2)
            window.removeDeviceAfter(removedAtMs);
        const int opens = window.devices.openCount();
        BarWatcher watcher(window.clock, form);

        window.pressButton(ToolbarButton::Reset);

        QCOMPARE(watcher.stop(), QStringList{"0 black"});
        QCOMPARE(window.communicationErrors(), 1);
        QCOMPARE(window.devices.openCount(), opens);
        QCOMPARE(cardsReset(window), reset);
        QVERIFY(!form.AdvancedMode && !window.buttonEnabled(ToolbarButton::Reset));
        QCOMPARE(window.idleProblems(), QString());
        QCOMPARE(markedForReset(form), QList<int>{});
    }
};

QTEST_MAIN(CardResetTest)
#include "tst_cardreset.moc"
