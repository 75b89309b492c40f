#include "windowfixture.h"

#include "app/formlayout.h"

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::WindowFixture;

// A click is (list, row).
using Clicks = QList<QPoint>;
Q_DECLARE_METATYPE(Clicks)

namespace {
enum State
{
    Empty,
    Manager,
    Remote
};
}

class CardSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    // Advanced mode offers neither File > Open nor the version queries.
    void clicksMoveBetweenTheThreeStates_data()
    {
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<Clicks>("clicks");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("selectedRemoteCards");
        QTest::newRow("empty") << false << Clicks{} << int(Empty) << 0;
        QTest::newRow("manager") << false << Clicks{{1, 0}} << int(Manager) << 0;
        QTest::newRow("manager-twice") << false << Clicks{{1, 0}, {1, 0}} << int(Empty) << 0;
        QTest::newRow("remote") << false << Clicks{{2, 0}} << int(Remote) << 1;
        QTest::newRow("last-remote-off") << false << Clicks{{2, 4}, {2, 4}} << int(Empty) << 0;
        QTest::newRow("one-of-several-off")
            << false << Clicks{{2, 4}, {3, 31}, {2, 4}} << int(Remote) << 1;
        QTest::newRow("advanced-manager") << true << Clicks{{1, 0}} << int(Manager) << 0;
        QTest::newRow("advanced-remote")
            << true << Clicks{{1, 0}, {1, 0}, {2, 3}} << int(Remote) << 1;
    }
    void clicksMoveBetweenTheThreeStates()
    {
        QFETCH(bool, advanced);
        QFETCH(Clicks, clicks);
        QFETCH(int, state);
        WindowFixture window;
        auto& form = *window.form;
        if (advanced)
            form.mnuAdvanced_Click();
        for (const QPoint& click : clicks)
            window.click(click.x(), click.y());
        QCOMPARE(form.ManagerSelected, state == Manager);
        QCOMPARE(form.RemoteSelected, state == Remote);
        QTEST(window.remoteSelCount(), "selectedRemoteCards");
        QCOMPARE(window.list(1)->isEnabled(), state != Remote);
        QCOMPARE(window.list(2)->isEnabled(), state != Manager);
        QCOMPARE(window.list(3)->isEnabled(), state != Manager);
        QCOMPARE(form.mnuOpen->isEnabled(), state != Empty && !advanced);
        QCOMPARE(window.buttonEnabled(ToolbarButton::SelectAll), state != Manager);
        QCOMPARE(window.buttonEnabled(ToolbarButton::UnselectAll), state != Manager);
        QCOMPARE(window.buttonEnabled(ToolbarButton::HardwareVersion), !advanced);
        quorlink::test::saveShot(form, QString::fromLatin1(QTest::currentDataTag()));
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
        QVERIFY(!window.form->RemoteSelected && window.list(1)->isEnabled());
    }

    void selectAllAndUnselectAllLeaveOneClickToggling()
    {
        WindowFixture window;
        auto& form = *window.form;
        form.setFirmwareFile(QStringLiteral("/fw/qdx_mgt231e.hex"));
        form.SelectAllRemoteCards();
        QCOMPARE(window.remoteSelCount(), 63);
        QVERIFY(form.FirmwareFile.isEmpty()); // a management file does not fit
        window.click(3, 5);
        QVERIFY(!window.list(3)->isItemSelected(5));
        form.UnselectAllRemoteCards();
        QCOMPARE(window.remoteSelCount(), 0);
        window.click(3, 5);
        QVERIFY(window.list(3)->isItemSelected(5));
        QCOMPARE(window.remoteSelCount(), 1);
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

    void enterAndSpaceToggleTheFocusItemOnce()
    {
        WindowFixture window;
        auto* list = window.list(2);
        list->setFocus();
        list->setListIndex(6);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
            QTest::keyClick(list, key);
            QVERIFY(list->isItemSelected(6));
            QCOMPARE(list->selCount(), 1);
            QVERIFY(window.form->RemoteSelected && !window.list(1)->isEnabled());
            QTest::keyClick(list, key);
            QCOMPARE(list->selCount(), 0);
            QVERIFY(!window.form->RemoteSelected);
        }
    }

    // Suppressed clicks, start-up's focus items and Ctrl+A select nothing.
    void onlyClicksAndKeysOnTheFocusItemSelect()
    {
        WindowFixture window;
        auto* list = window.list(2);
        window.form->ListEventsSuppressed = true;
        window.click(2, 2);
        QCOMPARE(list->selCount(), 0);
        QCOMPARE(window.form->LastListIndex[2], 2);
        window.form->ListEventsSuppressed = false;
        list->setListIndex(7);
        list->selectAll();
        QCOMPARE(list->selCount(), 0);
    }
};

QTEST_MAIN(CardSelectionTest)
#include "tst_cardselection.moc"
