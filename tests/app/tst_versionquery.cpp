#include "operationfixture.h"

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::BarWatcher;
using quorlink::test::OperationWindow;

namespace {

using Clicks = QList<QPair<int, int>>; // (list, row)

} // namespace

class VersionQueryTest : public QObject
{
    Q_OBJECT

private slots:
    void theSelectedRemoteCardsAreAskedAndAnswerInTheirOwnLines_data()
    {
        QTest::addColumn<Clicks>("clicks");
        QTest::addColumn<bool>("managerToo");
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<QList<int>>("asked");
        QTest::addColumn<int>("focusList"); // the list that shows the lowest selected card
        QTest::addColumn<int>("focusRow");
        QTest::newRow("both lists, Alt+V")
            << Clicks{{3, 0}, {2, 30}} << false << true << QList<int>{32, 33} << 2 << 30;
        // Scope 2: List1(2) is scanned and holds nothing.
        QTest::newRow("second list only: cards 33 and 64")
            << Clicks{{3, 31}, {3, 0}} << false << false << QList<int>{33, 64} << 3 << 0;
        // A remote selection wins: the management card is not asked.
        QTest::newRow("management card and a remote card")
            << Clicks{{2, 3}} << true << false << QList<int>{5} << 2 << 3;
    }
    void theSelectedRemoteCardsAreAskedAndAnswerInTheirOwnLines()
    {
        QFETCH(Clicks, clicks);
        QFETCH(bool, managerToo);
        QFETCH(bool, byKey);
        QFETCH(QList<int>, asked);
        QFETCH(int, focusList);
        QFETCH(int, focusRow);
        OperationWindow window;
        auto& form = window.window();
        for (const auto& [list, row] : clicks)
            window.choose(list, row);
        if (managerToo)
            window.list(1)->setItemSelected(0, true);

        if (byKey)
            window.pressAlt(Qt::Key_V);
        else
            window.pressButton(ToolbarButton::FirmwareVersion);

        QCOMPARE(window.cardsAsked(), asked);
        QStringList expected;
        for (int card : asked)
            expected << QStringLiteral("%1:%1. Computer %1 F/W - FW%1").arg(card);
        QCOMPARE(window.changedRemoteTexts(), expected);
        QCOMPARE(window.list(1)->itemText(0), QStringLiteral(" Quorlink Manager"));
        QCOMPARE(form.selectedRemoteCards(), asked);
        QCOMPARE(window.idleProblems(), QString());
        QVERIFY(!window.list(1)->isEnabled());
        QCOMPARE(window.list(focusList)->listIndex(), focusRow);
        QCOMPARE(window.list(5 - focusList)->listIndex(), -1);
        QCOMPARE(window.prompts.entries().size(), std::size_t{0});
        quorlink::test::saveShot(form, QStringLiteral("versions-%1").arg(QTest::currentDataTag()));
    }

    void threeCardsMoveTheBarAndTheRunStopsAtTheFirstSilentCard_data()
    {
        QTest::addColumn<int>("silentCard");
        QTest::addColumn<QStringList>("bar");
        QTest::addColumn<QStringList>("changed");
        QTest::newRow("all answer")
            << 0 << QStringList{"0 black", "33 black", "67 white", "100 white", "0 white"}
            << QStringList{"5:5. Computer 5 F/W - FW5", "6:6. Computer 6 F/W - FW6",
                           "40:40. Computer 40 F/W - FW40"};
        // The first card keeps its answer; the third is never asked.
        QTest::newRow("the second times out")
            << 6 << QStringList{"0 black", "33 black", "67 white", "0 white"}
            << QStringList{"5:5. Computer 5 F/W - FW5"};
    }
    void threeCardsMoveTheBarAndTheRunStopsAtTheFirstSilentCard()
    {
        QFETCH(int, silentCard);
        QFETCH(QStringList, bar);
        QFETCH(QStringList, changed);
        OperationWindow window;
        auto& form = window.window();
        if (silentCard)
            window.simulatedSwitch.card(silentCard).setSilent(true);
        for (const auto& [list, row] : Clicks{{2, 3}, {2, 4}, {3, 7}})
            window.choose(list, row);
        BarWatcher watcher(window.clock, form);
        QString statusDuringTheRun;
        window.clock.post(window.clock.nowMicroseconds() + 150'000, [&] {
            statusDuringTheRun = form.statusText();
            quorlink::test::saveShot(form, QStringLiteral("version-run-bar"));
        });

        window.pressButton(ToolbarButton::FirmwareVersion);

        QCOMPARE(watcher.stop(), bar);
        QCOMPARE(window.changedRemoteTexts(), changed);
        QCOMPARE(window.cardsAsked(), (silentCard ? QList<int>{5, 6} : QList<int>{5, 6, 40}));
        QCOMPARE(window.communicationErrors(), silentCard ? 1 : 0);
        QCOMPARE(statusDuringTheRun, QStringLiteral("Status: Getting version in process ..."));
        QCOMPARE(window.idleProblems(), QString());
        QCOMPARE(window.selectedCards(), (QList<int>{5, 6, 40}));
    }

    void hardwareVersionAsksForItAndTheFlagIsAlwaysPutBack_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("cardSelected");
        QTest::newRow("button") << false << true;
        // The warning path used to leave the flag set for the next Start.
        QTest::newRow("Alt+W, nothing selected") << true << false;
    }
    void hardwareVersionAsksForItAndTheFlagIsAlwaysPutBack()
    {
        QFETCH(bool, byKey);
        QFETCH(bool, cardSelected);
        OperationWindow window;
        if (cardSelected)
            window.click(2, 3);
        if (byKey)
            window.pressAlt(Qt::Key_W);
        else
            window.pressButton(ToolbarButton::HardwareVersion);

        QVERIFY(!window.window().WantHardwareVersion);
        if (cardSelected) {
            QCOMPARE(window.list(2)->itemText(3), QStringLiteral("5. Computer 5 H/W - HW5"));
        } else {
            QCOMPARE(window.prompts.log(), (QStringList{"beep", "message:Warning"}));
            QCOMPARE(window.prompts.messages().front().text,
                     QStringLiteral("You must choose card(s) to get a version"));
            QCOMPARE(window.simulatedSwitch.trace().pcText(), QString());
        }
    }

    void aCardNotRespondingIsNoLongerChosenAndTheNextClickChoosesItAgain_data()
    {
        QTest::addColumn<Clicks>("clicks");
        QTest::addColumn<int>("card");
        QTest::newRow("management card") << Clicks{{1, 0}} << 1;
        QTest::newRow("remote card beside another") << Clicks{{2, 3}, {2, 4}} << 6;
    }
    void aCardNotRespondingIsNoLongerChosenAndTheNextClickChoosesItAgain()
    {
        QFETCH(Clicks, clicks);
        QFETCH(int, card);
        OperationWindow window;
        auto& form = window.window();
        window.simulatedSwitch.card(card).setNotResponding(true);
        for (const auto& [list, row] : clicks)
            window.choose(list, row);
        const auto [list, row] = clicks.last();
        const QString plain = card == 1 ? form.managerItemText() : form.remoteItemText(card);

        window.pressButton(ToolbarButton::FirmwareVersion);

        QCOMPARE(window.list(list)->itemText(row), plain + " F/W - Not responding");
        QVERIFY(!window.list(list)->isItemSelected(row));
        QCOMPARE(window.communicationErrors(), 0);
        QCOMPARE(window.idleProblems(), QString());
        if (card == 1) {
            QVERIFY(!form.ManagerSelected && !form.ManagerMark);
            QVERIFY(window.list(2)->isEnabled() && window.list(3)->isEnabled());
        } else {
            QVERIFY(form.RemoteSelected && window.list(2)->isItemSelected(3));
        }
        // The selection record went with the selection: the next click
        // chooses the card instead of reading it as chosen.
        window.choose(list, row);
        QVERIFY(window.list(list)->isItemSelected(row));
    }

    void aPortThatIsGoneIsReportedOnceAndLeavesTheWindowUsable_data()
    {
        QTest::addColumn<bool>("noFreePort");
        QTest::addColumn<int>("removedAtMs"); // virtual time after the press; -1 before it
        QTest::addColumn<QList<int>>("asked");
        QTest::newRow("no free port at start-up") << true << -1 << QList<int>{};
        QTest::newRow("device removed while card 6 is asked") << false << 260 << QList<int>{5, 6};
    }
    void aPortThatIsGoneIsReportedOnceAndLeavesTheWindowUsable()
    {
        QFETCH(bool, noFreePort);
        QFETCH(int, removedAtMs);
        QFETCH(QList<int>, asked);
        OperationWindow window(OperationWindow::withoutFreePort(noFreePort));
        auto& form = window.window();
        for (const auto& [list, row] : Clicks{{2, 3}, {2, 4}, {2, 5}})
            window.choose(list, row);
        window.simulatedSwitch.card(6).setReplyDelay(50);
        if (!noFreePort)
            window.removeDeviceAfter(removedAtMs);

        window.pressButton(ToolbarButton::FirmwareVersion);

        QCOMPARE(window.communicationErrors(), 1);
        QCOMPARE(window.cardsAsked(), asked);
        // Back to the plain lines, the choice kept for the next try.
        QCOMPARE(window.changedRemoteTexts(), QStringList());
        QCOMPARE(window.selectedCards(), (QList<int>{5, 6, 7}));
        QVERIFY(form.RemoteSelected && form.mnuOpen->isEnabled());
        QCOMPARE(window.idleProblems(), QString());
        // The next command says so again, once, and sends nothing.
        const auto before = window.simulatedSwitch.trace().entries().size();
        window.pressAlt(Qt::Key_V);
        QCOMPARE(window.communicationErrors(), 2);
        QCOMPARE(window.simulatedSwitch.trace().entries().size(), before);
        QCOMPARE(window.idleProblems(), QString());
    }
};

QTEST_MAIN(VersionQueryTest)
#include "tst_versionquery.moc"
