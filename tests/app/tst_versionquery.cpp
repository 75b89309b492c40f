#include "operationfixture.h"

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::BarWatcher;
using quorlink::test::OperationWindow;

using Clicks = QList<QPair<int, int>>; // (list, row)

class VersionQueryTest : public QObject
{
    Q_OBJECT

private slots:
    void theSelectedRemoteCardsAreAskedAndAnswerInTheirOwnLines_data()
    {
        QTest::addColumn<Clicks>("clicks");
        QTest::addColumn<bool>("managerToo");
        QTest::addColumn<Qt::Key>("key"); // Alt+V or Alt+W; 0: the F/W Version button
        QTest::addColumn<QList<int>>("asked");
        QTest::addColumn<int>("focusList"); // the list that shows the lowest selected card
        QTest::addColumn<int>("focusRow");
        QTest::newRow("both lists, Alt+V")
            << Clicks{{3, 0}, {2, 30}} << false << Qt::Key_V << QList<int>{32, 33} << 2 << 30;
        // Scope 2: List1(2) is scanned and holds nothing.
        QTest::newRow("second list only: cards 33 and 64")
            << Clicks{{3, 31}, {3, 0}} << false << Qt::Key(0) << QList<int>{33, 64} << 3 << 0;
        // A remote selection wins: the management card is not asked.
        QTest::newRow("management card and a remote card, Alt+W")
            << Clicks{{2, 3}} << true << Qt::Key_W << QList<int>{5} << 2 << 3;
    }
    void theSelectedRemoteCardsAreAskedAndAnswerInTheirOwnLines()
    {
        QFETCH(Clicks, clicks);
        QFETCH(bool, managerToo);
        QFETCH(Qt::Key, key);
        QFETCH(QList<int>, asked);
        QFETCH(int, focusList);
        OperationWindow window;
        for (const auto& [list, row] : clicks)
            window.choose(list, row);
        window.list(1)->setItemSelected(0, managerToo);

        if (key)
            window.pressAlt(key);
        else
            window.pressButton(ToolbarButton::FirmwareVersion);

        QCOMPARE(window.cardsAsked(), asked);
        QStringList expected;
        for (int card : asked)
            expected << QStringLiteral("%1:%1. Computer %1 %2/W - %2W%1")
                            .arg(card)
                            .arg(key == Qt::Key_W ? 'H' : 'F');
        QCOMPARE(window.changedRemoteTexts(), expected);
        QCOMPARE(window.lineOf(1), QStringLiteral(" Quorlink Manager"));
        QCOMPARE(window.idleProblems(), QString());
        QTEST(window.list(focusList)->listIndex(), "focusRow");
        QCOMPARE(window.list(5 - focusList)->listIndex(), -1);
    }

    // The bar and the lines as cards answer; the run stops at the first card
    // that does not answer in time. A card lost by the switch answers "Not
    // responding", is no longer chosen, and the next click chooses it again.
    void barAndLinesAsCardsAnswerOrNot_data()
    {
        QTest::addColumn<QString>("trouble"); // "silent" or "lost" card 6
        QTest::addColumn<QStringList>("bar");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QList<int>>("chosen");
        const QString five = "5:5. Computer 5 F/W - FW5";
        const QString forty = "40:40. Computer 40 F/W - FW40";
        QTest::newRow("the second times out")
            << "silent" << QStringList{"0 black", "33 black", "67 white", "0 white"}
            << QStringList{five} << QList<int>{5, 6, 40};
        QTest::newRow("the second is lost")
            << "lost" << QStringList{"0 black", "33 black", "67 white", "100 white", "0 white"}
            << QStringList{five, "6:6. Computer 6 F/W - Not responding", forty}
            << QList<int>{5, 40};
    }
    void barAndLinesAsCardsAnswerOrNot()
    {
        QFETCH(QString, trouble);
        QFETCH(QList<int>, chosen);
        OperationWindow window;
        auto& form = window.window();
        window.simulatedSwitch.card(6).setSilent(trouble == "silent");
        window.simulatedSwitch.card(6).setNotResponding(trouble == "lost");
        for (const auto& [list, row] : Clicks{{2, 3}, {2, 4}, {3, 7}})
            window.choose(list, row);
        BarWatcher watcher(window.clock, form);
        QString statusDuringTheRun;
        window.clock.post(window.clock.nowMicroseconds() + 150'000,
                          [&] { statusDuringTheRun = form.statusText(); });

        window.pressButton(ToolbarButton::FirmwareVersion);

        QTEST(watcher.stop(), "bar");
        QTEST(window.changedRemoteTexts(), "changed");
        QCOMPARE(statusDuringTheRun, QStringLiteral("Status: Getting version in process ..."));
        QCOMPARE(window.idleProblems(), QString());
        QCOMPARE(window.selectedCards(), chosen);
        window.choose(2, 4);
        QCOMPARE(window.selectedCards().contains(6), trouble == "lost");
    }

    // A lost management card frees the remote lists again.
    void aManagementCardNotRespondingIsNoLongerChosen()
    {
        OperationWindow window;
        window.simulatedSwitch.card(1).setNotResponding(true);
        window.choose(1, 0);
        window.pressButton(ToolbarButton::FirmwareVersion);
        QCOMPARE(window.lineOf(1), QStringLiteral(" Quorlink Manager F/W - Not responding"));
        QCOMPARE(window.selectedCards(), QList<int>{});
        QVERIFY(window.list(2)->isEnabled() && window.list(3)->isEnabled());
        window.choose(1, 0);
        QCOMPARE(window.selectedCards(), QList<int>{1});
    }
};

QTEST_MAIN(VersionQueryTest)
#include "tst_versionquery.moc"
