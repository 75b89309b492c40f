#include "windowfixture.h"

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::WindowFixture;

// A click is (list, row).
using Clicks = QList<QPoint>;
Q_DECLARE_METATYPE(Clicks)

namespace {
// Where the user leaves a list's scroll bar before a click.
enum class Scroll
{
    Keep,
    Top,
    Bottom
};

struct ClickAfterScroll
{
    int list;
    Scroll scroll;
    int row;
};
} // namespace

using ClicksAfterScrolls = QList<ClickAfterScroll>;
Q_DECLARE_METATYPE(ClicksAfterScrolls)

class CardSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    // Advanced mode offers neither File > Open nor the version queries, but
    // a click that empties the selection offers H/W Version again with
    // Select All and Unselect All.
    void clicksMoveBetweenTheThreeStates_data()
    {
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<Clicks>("clicks");
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<bool>("hardware"); // H/W Version offered
        QTest::addColumn<bool>("fileKept"); // a remote card's file, in any letter case
        QTest::newRow("manager") << false << Clicks{{1, 0}} << QList<int>{1} << true << false;
        QTest::newRow("manager-twice")
            << false << Clicks{{1, 0}, {1, 0}} << QList<int>{} << true << false;
        QTest::newRow("last-remote-off")
            << false << Clicks{{2, 4}, {2, 4}} << QList<int>{} << true << true;
        QTest::newRow("one-of-several-off")
            << false << Clicks{{2, 4}, {3, 31}, {2, 4}} << QList<int>{64} << true << true;
        QTest::newRow("advanced-manager")
            << true << Clicks{{1, 0}} << QList<int>{1} << false << false;
        QTest::newRow("advanced-remote")
            << true << Clicks{{1, 0}, {1, 0}, {2, 3}} << QList<int>{5} << true << false;
    }
    void clicksMoveBetweenTheThreeStates()
    {
        QFETCH(bool, advanced);
        QFETCH(Clicks, clicks);
        QFETCH(QList<int>, cards);
        QFETCH(bool, fileKept);
        const QString file = QStringLiteral("/fw/Qdx_Rem107e.hex");
        const bool manager = cards == QList<int>{1};
        const bool remote = !cards.isEmpty() && !manager;
        WindowFixture window;
        auto& form = *window.form;
        form.setFirmwareFile(file);
        if (advanced)
            form.mnuAdvanced_Click();
        for (const QPoint& click : clicks)
            window.click(click.x(), click.y());
        QCOMPARE(window.selectedCards(), cards);
        QCOMPARE(window.list(1)->isEnabled(), !remote);
        QCOMPARE(window.list(2)->isEnabled(), !manager);
        QCOMPARE(window.list(3)->isEnabled(), !manager);
        QCOMPARE(form.controls().mnuOpen->isEnabled(), !cards.isEmpty() && !advanced);
        QCOMPARE(window.buttonEnabled(ToolbarButton::SelectAll), !manager);
        QCOMPARE(window.buttonEnabled(ToolbarButton::UnselectAll), !manager);
        QTEST(window.buttonEnabled(ToolbarButton::HardwareVersion), "hardware");
        QCOMPARE(form.controls().StatusBar1->panelText(1),
                 fileKept ? file : QStringLiteral("File Name:"));
        quorlink::test::saveShot(form, QString::fromLatin1(QTest::currentDataTag()));
    }

    // The press that brings the focus to a list must land on the card under
    // the pointer: the list must not scroll to its remembered focus item first.
    void aClickSelectsTheCardUnderThePointer_data()
    {
        QTest::addColumn<ClicksAfterScrolls>("clicks");
        QTest::addColumn<QList<int>>("cards");
        QTest::newRow("back to the top after another list")
            << ClicksAfterScrolls{{3, Scroll::Bottom, 31},
                                  {2, Scroll::Keep, 4},
                                  {3, Scroll::Top, 0}}
            << QList<int>{6, 33, 64};
    }
    void aClickSelectsTheCardUnderThePointer()
    {
        QFETCH(ClicksAfterScrolls, clicks);
        WindowFixture window;
        for (const ClickAfterScroll& click : clicks) {
            QScrollBar* bar = window.list(click.list)->verticalScrollBar();
            if (click.scroll != Scroll::Keep)
                bar->setValue(click.scroll == Scroll::Top ? bar->minimum() : bar->maximum());
            QVERIFY(window.rowShown(click.list, click.row));
            const int scrolledTo = bar->value();
            window.pressAndRelease(click.list, click.row);
            QCOMPARE(bar->value(), scrolledTo);
        }
        QTEST(window.selectedCards(), "cards");
    }

    // The keyboard has no pointer to keep: Tab into a list shows its
    // remembered focus item.
    void tabIntoAListScrollsToItsFocusItem()
    {
        WindowFixture window;
        window.click(3, 31);
        window.click(2, 4);
        auto* second = window.list(3);
        second->verticalScrollBar()->setValue(0);
        QVERIFY(!window.rowShown(3, 31));
        second->setFocus(Qt::TabFocusReason);
        QCOMPARE(second->listIndex(), 31);
        QVERIFY(window.rowShown(3, 31));
        QCOMPARE(window.selectedCards(), (QList<int>{6, 64}));
    }

    // Not even the focus item that the last click on the list left: the
    // user pointed at no card.
    void clickBelowTheLastItemChangesNothing()
    {
        WindowFixture window;
        window.form->setOuterSizeTwips(9630, 14000); // room below card 32
        QTest::qWait(0);
        auto* list = window.list(2);
        window.click(2, 4);
        window.click(2, 4);
        QCOMPARE(list->listIndex(), 4);
        const QRect last = list->visualItemRect(list->item(list->count() - 1));
        QVERIFY(last.bottom() + 20 < list->viewport()->height());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(last.center().x(), last.bottom() + 10));
        QCOMPARE(window.selectedCards(), QList<int>{});
        QVERIFY(window.list(1)->isEnabled());
    }

    // Enter and Space toggle the focus item once; a focus item alone and
    // Ctrl+A select nothing.
    void onlyClicksAndKeysOnTheFocusItemSelect()
    {
        WindowFixture window;
        auto* list = window.list(2);
        list->setFocus();
        list->setListIndex(6);
        list->selectAll();
        QCOMPARE(window.selectedCards(), QList<int>{});
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
            QTest::keyClick(list, key);
            QCOMPARE(window.selectedCards(), QList<int>{8});
            QVERIFY(!window.list(1)->isEnabled());
            QTest::keyClick(list, key);
            QCOMPARE(window.selectedCards(), QList<int>{});
        }
    }
};

QTEST_MAIN(CardSelectionTest)
#include "tst_cardselection.moc"
