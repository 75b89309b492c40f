#include "windowfixture.h"

#include "app/formlayout.h"

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::WindowFixture;

// A click is (list, row).
using Clicks = QList<QPoint>;
Q_DECLARE_METATYPE(Clicks)

class CardSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void clicksMoveBetweenTheThreeStates_data()
    {
        QTest::addColumn<Clicks>("clicks");
        QTest::addColumn<bool>("manager");
        QTest::addColumn<bool>("remote");
        QTest::addColumn<int>("selectedRemoteCards");
        QTest::addColumn<bool>("managerListEnabled");
        QTest::addColumn<bool>("remoteListsEnabled");
        QTest::addColumn<bool>("openEnabled");
        QTest::addColumn<bool>("selectAllEnabled");

        QTest::newRow("empty at start")
            << Clicks{} << false << false << 0 << true << true << false << true;
        QTest::newRow("management card")
            << Clicks{{1, 0}} << true << false << 0 << true << false << true << false;
        QTest::newRow("management card twice")
            << Clicks{{1, 0}, {1, 0}} << false << false << 0 << true << true << false << true;
        QTest::newRow("card 2") << Clicks{{2, 0}} << false << true << 1 << false << true << true
                                << true;
        QTest::newRow("card 64") << Clicks{{3, 31}} << false << true << 1 << false << true << true
                                 << true;
        QTest::newRow("last remote card off")
            << Clicks{{2, 4}, {2, 4}} << false << false << 0 << true << true << false << true;
        QTest::newRow("one of several off") << Clicks{{2, 4}, {3, 0}, {2, 4}} << false << true << 1
                                            << false << true << true << true;
    }
    void clicksMoveBetweenTheThreeStates()
    {
        QFETCH(Clicks, clicks);
        WindowFixture window;
        for (const QPoint& click : clicks)
            window.click(click.x(), click.y());
        auto& form = *window.form;
        QTEST(form.ManagerSelected, "manager");
        QTEST(form.RemoteSelected, "remote");
        QTEST(window.list(2)->selCount() + window.list(3)->selCount(), "selectedRemoteCards");
        QTEST(window.list(1)->isEnabled(), "managerListEnabled");
        QTEST(window.list(2)->isEnabled(), "remoteListsEnabled");
        QCOMPARE(window.list(3)->isEnabled(), window.list(2)->isEnabled());
        QTEST(form.mnuOpen->isEnabled(), "openEnabled");
        QTEST(window.buttonEnabled(ToolbarButton::SelectAll), "selectAllEnabled");
        QCOMPARE(window.buttonEnabled(ToolbarButton::UnselectAll),
                 window.buttonEnabled(ToolbarButton::SelectAll));
        // The handlers' record always equals what the lists show.
        QCOMPARE(form.ManagerMark, window.list(1)->isItemSelected(0));
        for (int row = 0; row < window.list(2)->count(); ++row)
            QCOMPARE(form.FirstListMarks[row], window.list(2)->isItemSelected(row));
    }

    void clickBelowTheLastItemChangesNothing()
    {
        WindowFixture window;
        window.form->setOuterSizeTwips(9630, 14000); // room below card 32
        QTest::qWait(0);
        auto* list = window.list(2);
        const QRect last = list->visualItemRect(list->item(list->count() - 1));
        QVERIFY(last.bottom() + 20 < list->viewport()->height());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(last.center().x(), last.bottom() + 10));
        QCOMPARE(list->selCount(), 0);
        QVERIFY(!window.form->RemoteSelected);
        QVERIFY(window.list(1)->isEnabled());
    }

    void selectAllAndUnselectAllLeaveOneClickToggling()
    {
        WindowFixture window;
        auto& form = *window.form;
        form.SelectAllRemoteCards();
        QCOMPARE(window.list(2)->selCount() + window.list(3)->selCount(), 63);
        QVERIFY(std::all_of(form.RemoteCardSelected.begin(), form.RemoteCardSelected.begin() + 63,
                            [](bool chosen) { return chosen; }));
        QVERIFY(form.mnuOpen->isEnabled());
        window.click(3, 5);
        QVERIFY(!window.list(3)->isItemSelected(5));
        QVERIFY(form.RemoteSelected);

        form.UnselectAllRemoteCards();
        QCOMPARE(window.list(2)->selCount() + window.list(3)->selCount(), 0);
        QVERIFY(std::none_of(form.RemoteCardSelected.begin(), form.RemoteCardSelected.end(),
                             [](bool chosen) { return chosen; }));
        window.click(3, 5);
        QVERIFY(window.list(3)->isItemSelected(5));
        QCOMPARE(window.list(3)->selCount(), 1);
    }

    void choosingTheOtherKindClearsAFileThatDoesNotFit_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("list");
        QTest::addColumn<bool>("kept");
        QTest::newRow("remote file, manager chosen") << "/fw/qdx_rem107e.hex" << 1 << false;
        QTest::newRow("capital manager file kept") << "/fw/QDX_MGT231E.HEX" << 1 << true;
        QTest::newRow("manager file, remote chosen") << "/fw/qdx_mgt231e.hex" << 2 << false;
        QTest::newRow("remote file kept") << "/fw/Qdx_Rem107e.hex" << 3 << true;
    }
    void choosingTheOtherKindClearsAFileThatDoesNotFit()
    {
        QFETCH(QString, file);
        QFETCH(int, list);
        QFETCH(bool, kept);
        WindowFixture window;
        window.form->setFirmwareFile(file);
        window.click(list, 0);
        QCOMPARE(window.form->FirmwareFile, kept ? file : QString());
        QCOMPARE(window.form->StatusBar1->panelText(1), kept ? file : QStringLiteral("File Name:"));
    }

    void selectAllDropsAManagementFile()
    {
        WindowFixture window;
        window.click(1, 0);
        window.form->setFirmwareFile(QStringLiteral("/fw/qdx_mgt231e.hex"));
        window.form->SelectAllRemoteCards();
        QVERIFY(window.form->FirmwareFile.isEmpty());
    }

    void enterAndSpaceToggleTheFocusItemOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("enter") << int(Qt::Key_Return);
        QTest::newRow("space") << int(Qt::Key_Space);
    }
    void enterAndSpaceToggleTheFocusItemOnce()
    {
        QFETCH(int, key);
        WindowFixture window;
        auto* list = window.list(2);
        list->setFocus();
        list->setListIndex(6);
        QTest::keyClick(list, Qt::Key(key));
        QVERIFY(list->isItemSelected(6));
        QCOMPARE(list->selCount(), 1);
        QVERIFY(window.form->RemoteSelected);
        QVERIFY(!window.list(1)->isEnabled());
        QTest::keyClick(list, Qt::Key(key));
        QCOMPARE(list->selCount(), 0);
        QVERIFY(!window.form->RemoteSelected);
    }

    void advancedModeClicksNeverEnableOpen()
    {
        WindowFixture window;
        window.form->mnuAdvanced_Click();
        window.click(1, 0);
        QVERIFY(window.form->ManagerSelected);
        QVERIFY(!window.form->mnuOpen->isEnabled());
        QVERIFY(!window.buttonEnabled(ToolbarButton::HardwareVersion));
        window.click(1, 0);
        window.click(2, 3);
        QVERIFY(window.form->RemoteSelected);
        QVERIFY(!window.form->mnuOpen->isEnabled());
        window.click(2, 3);
        QVERIFY(!window.buttonEnabled(ToolbarButton::HardwareVersion));
    }

    void suppressedEventsOnlyMoveTheFocusItem()
    {
        WindowFixture window;
        window.form->ListEventsSuppressed = true;
        window.click(2, 2);
        QCOMPARE(window.list(2)->selCount(), 0);
        QCOMPARE(window.form->LastListIndex[2], 2);
    }

    void focusItemIsSeparateFromTheSelection()
    {
        WindowFixture window;
        window.click(2, 1);
        window.click(2, 2);
        auto* list = window.list(2);
        list->setListIndex(-1);
        list->setListIndex(7);
        QCOMPARE(list->selCount(), 2);
        QVERIFY(!list->isItemSelected(7));
        list->selectAll(); // Ctrl+A
        QCOMPARE(list->selCount(), 2);
    }
};

QTEST_MAIN(CardSelectionTest)
#include "tst_cardselection.moc"
