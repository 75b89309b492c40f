#include "operationfixture.h"

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::BarWatcher;
using quorlink::test::OperationWindow;

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

QList<int> cardsReset(const OperationWindow& window)
{
    QList<int> cards;
    for (int card = 1; card <= 64; ++card) {
        if (!window.simulatedSwitch.card(card).resetTimes().isEmpty())
            cards << card;
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
        QTest::addColumn<QList<int>>("reset");
        QTest::newRow("management and a remote card: only the remote card")
            << "2:3 +1" << false << QList<int>{5};
        QTest::newRow("one card of the second list, Alt+R") << "3:7" << true << QList<int>{40};
        QTest::newRow("62 of 63") << "S 2:15" << true << OperationWindow::cards(2, 64, 17);
    }
    // Whatever the cards, the bar counts eleven ticks of 100 ms and holds
    // 100 for the completion.
    void resetRestartsTheChosenCardsAndLeavesAdvancedMode()
    {
        QFETCH(QString, choice);
        QFETCH(bool, byKey);
        QFETCH(QList<int>, reset);
        OperationWindow window;
        auto& form = window.window();
        form.controls().mnuAdvanced->trigger();
        choose(window, choice);
        const QList<int> selected = window.selectedCards();
        BarWatcher watcher(window.clock, form);

        if (byKey)
            window.pressAlt(Qt::Key_R);
        else
            window.pressButton(ToolbarButton::Reset);

        QCOMPARE(cardsReset(window), reset);
        QVERIFY(!form.advancedMode() && !form.controls().mnuAdvanced->isChecked());
        QCOMPARE(window.idleProblems(), QString());
        QCOMPARE(window.selectedCards(), selected);
        QStringList bar{"0 black"};
        for (int value = 10; value <= 100; value += 10)
            bar << QStringLiteral("%1 %2").arg(value).arg(value > 52 ? "white" : "black");
        QCOMPARE(watcher.stop(), bar << "0 white");
        // The watcher looks every millisecond.
        const QList<std::int64_t>& times = watcher.times();
        for (int i = 2; i < 12; ++i)
            QVERIFY(qAbs(times[i] - times[i - 1] - (i == 11 ? 200'000 : 100'000)) <= 1000);
        QCOMPARE(watcher.statuses(),
                 (QStringList{"Status:", "Status: Reset", "Status: Reset in process ...",
                              "Status: Reset completed", "Status:"}));
    }

    // By its button and by Alt+R, in the middle of the acknowledgement wait.
    void aResetDuringAResetIsIgnored()
    {
        OperationWindow window;
        auto& form = window.window();
        window.simulatedSwitch.card(5).setReplyDelay(500);
        form.controls().mnuAdvanced->trigger();
        window.choose(2, 3);
        BarWatcher watcher(window.clock, form);
        const std::int64_t start = window.clock.nowMicroseconds();
        window.clock.post(start + 200'000, [&] { window.pressButton(ToolbarButton::Reset); });
        window.clock.post(start + 300'000, [&] { window.pressAlt(Qt::Key_R); });

        window.pressButton(ToolbarButton::Reset);
        watcher.stop();

        QCOMPARE(window.simulatedSwitch.card(5).resetTimes().size(), 1);
        // The reset took its own acknowledgement and finished.
        QVERIFY(watcher.statuses().contains("Status: Reset completed"));
        QCOMPARE(window.prompts.entries().size(), std::size_t{0});
        QVERIFY(!form.advancedMode());
        QCOMPARE(window.idleProblems(), QString());
        QCOMPARE(window.selectedCards(), QList<int>{5});
    }

    // Cancel restores the window at once, whenever it comes. The reset keeps
    // its bytes and its timing to the end, as without Cancel, and afterwards
    // the window is idle.
    void cancelDuringAResetRestoresTheWindowAndTheResetRunsItsCourse_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("cancelAtMs"); // after the press
        QTest::newRow("silent card's wait, button") << false << true << 400;
        QTest::newRow("animation, Alt+C") << true << false << 800;
    }
    void cancelDuringAResetRestoresTheWindowAndTheResetRunsItsCourse()
    {
        QFETCH(bool, byKey);
        QFETCH(bool, silent);
        QFETCH(int, cancelAtMs);
        // How long it lasted, what it sent and what the user was told.
        const auto reset = [&](OperationWindow& window, bool cancel) {
            auto& form = window.window();
            for (int card : {3, 5})
                window.simulatedSwitch.card(card).setReplyDelay(300).setSilent(silent);
            form.controls().mnuAdvanced->trigger();
            window.choose(2, 1);
            window.choose(2, 3);
            const std::int64_t start = window.clock.nowMicroseconds();
            if (cancel) {
                window.clock.post(start + cancelAtMs * 1000, [&] {
                    if (byKey)
                        window.pressAlt(Qt::Key_C);
                    else
                        window.pressButton(ToolbarButton::Cancel);
                    QVERIFY(window.session->link().operationRunning());
                    QCOMPARE(window.selectedCards(), QList<int>{});
                    QVERIFY(!form.advancedMode());
                });
            }
            window.pressButton(ToolbarButton::Reset);
            return QStringList{QString::number(window.clock.nowMicroseconds() - start),
                               window.simulatedSwitch.trace().pcText()} +
                   window.prompts.log();
        };
        OperationWindow undisturbed;
        const QStringList expected = reset(undisturbed, false);
        OperationWindow window;

        QCOMPARE(reset(window, true), expected);
        QCOMPARE(window.communicationErrors(), silent ? 1 : 0);
        QCOMPARE(window.idleProblems(), QString());
    }
};

QTEST_MAIN(CardResetTest)
#include "tst_cardreset.moc"
