#include "windowfixture.h"

#include "progbar/progbar.h"

#include <QToolButton>

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::WindowFixture;

namespace {

const QString VersionWarning = QStringLiteral("You must choose card(s) to get a version");
const QString ResetWarning = QStringLiteral("You must choose card(s) for reset");

QStringList messageTexts(const quorlink::test::RecordingPrompts& prompts)
{
    QStringList texts;
    for (const auto& entry : prompts.messages())
        texts << entry.text;
    return texts;
}

} // namespace

class WindowCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void keysRunTheirCommandOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("tabPressed");
        const int alt = Qt::AltModifier;
        QTest::newRow("Alt+V") << int(Qt::Key_V) << alt << false << QStringList{VersionWarning}
                               << false;
        QTest::newRow("Alt+W") << int(Qt::Key_W) << alt << false << QStringList{VersionWarning}
                               << false;
        QTest::newRow("Alt+R, normal") << int(Qt::Key_R) << alt << false << QStringList{} << false;
        QTest::newRow("Alt+R, advanced")
            << int(Qt::Key_R) << alt << true << QStringList{ResetWarning} << false;
        QTest::newRow("V alone") << int(Qt::Key_V) << 0 << false << QStringList{} << false;
        QTest::newRow("Ctrl+W") << int(Qt::Key_W) << int(Qt::ControlModifier) << false
                                << QStringList{} << false;
        QTest::newRow("other letter") << int(Qt::Key_X) << alt << false << QStringList{} << true;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << 0 << false << QStringList{} << true;
    }
    void keysRunTheirCommandOnce()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, advanced);
        WindowFixture window;
        if (advanced)
            window.form->mnuAdvanced_Click();
        window.form->TabPressed = key != Qt::Key_Tab;
        QTest::keyClick(window.list(2), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        // A button's own mnemonic would click it a moment later.
        QTest::qWait(250);
        QTEST(messageTexts(window.prompts), "messages");
        QTEST(window.form->TabPressed, "tabPressed");
    }

    void keyboardCommandsIgnoreTheButtonState()
    {
        WindowFixture window;
        window.click(1, 0);
        QVERIFY(!window.buttonEnabled(ToolbarButton::SelectAll));
        QTest::keyClick(window.list(1), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(window.list(2)->selCount() + window.list(3)->selCount(), 63);
        QVERIFY(!window.list(1)->isItemSelected(0));
        QVERIFY(window.form->RemoteSelected && !window.form->ManagerSelected);
    }

    void toolbarDispatchesOnTheExactKey()
    {
        WindowFixture window;
        window.form->asxToolbar1_ButtonClick(1, QStringLiteral("&select all"));
        window.form->asxToolbar1_ButtonClick(1, QStringLiteral("Select All"));
        QCOMPARE(window.list(2)->selCount(), 0);
        QTest::mouseClick(window.form->asxToolbar1->button(ToolbarButton::HardwareVersion),
                          Qt::LeftButton);
        QCOMPARE(messageTexts(window.prompts), QStringList{VersionWarning});
        QVERIFY(window.form->WantHardwareVersion);
    }

    void advancedOnThenOffOffersEveryNormalCommand()
    {
        WindowFixture window;
        auto& form = *window.form;
        form.mnuAdvanced_Click();
        QVERIFY(form.AdvancedMode && form.mnuAdvanced->isChecked());
        for (int button = 1; button <= 7; ++button) {
            const bool offered = button <= 2 || button >= 6;
            QCOMPARE(window.buttonEnabled(button), offered);
        }
        QVERIFY(!form.mnuOpen->isEnabled());
        form.mnuAdvanced->trigger();
        QVERIFY(!form.AdvancedMode && !form.mnuAdvanced->isChecked());
        for (int button = 1; button <= 6; ++button)
            QVERIFY(window.buttonEnabled(button));
        QVERIFY(!window.buttonEnabled(ToolbarButton::Reset));
        QVERIFY(form.mnuOpen->isEnabled());
    }

    void cancelReturnsToTheEmptyStartingState()
    {
        WindowFixture window;
        auto& form = *window.form;
        window.click(2, 3);
        window.click(3, 7);
        form.SelectAllRemoteCards();
        form.setFirmwareFile(QStringLiteral("/fw/qdx_rem107e.hex"));
        form.mnuAdvanced_Click();
        const int opens = window.devices.openCount();
        QTest::keyClick(window.list(2), Qt::Key_C, Qt::AltModifier);

        QCOMPARE(window.list(1)->selCount() + window.list(2)->selCount() +
                     window.list(3)->selCount(),
                 0);
        QVERIFY(!form.ManagerSelected && !form.RemoteSelected);
        QVERIFY(std::none_of(form.RemoteCardSelected.begin(), form.RemoteCardSelected.end(),
                             [](bool chosen) { return chosen; }));
        QVERIFY(std::none_of(form.FirstListMarks.begin(), form.FirstListMarks.end(),
                             [](bool mark) { return mark; }));
        QVERIFY(form.FirmwareFile.isEmpty());
        QCOMPARE(form.StatusBar1->panelText(1), QStringLiteral("File Name:"));
        QVERIFY(!form.AdvancedMode && !form.mnuAdvanced->isChecked());
        QVERIFY(!window.buttonEnabled(ToolbarButton::Reset));
        for (int list = 1; list <= 3; ++list)
            QVERIFY(window.list(list)->isEnabled());
        QCOMPARE(window.devices.openCount(), opens + 1);
        QVERIFY(form.MSComm1.portOpen());
        QCOMPARE(form.MSComm1.commPort(), 1);
        QVERIFY(form.link.cancelRequested);
        // A click after Cancel selects again: the records were cleared too.
        window.click(2, 3);
        QVERIFY(window.list(2)->isItemSelected(3));
    }

    void cancelWithAVanishedPortStaysSilent()
    {
        WindowFixture window;
        window.devices.setRemoved(1, true);
        window.form->CancelOperation();
        QVERIFY(!window.form->MSComm1.portOpen());
        QCOMPARE(window.prompts.messageCount(), 0);
    }

    void restoreIdleStateUndoesAVersionRun()
    {
        WindowFixture window;
        auto& form = *window.form;
        window.click(3, 0);
        form.setEnabled(false);
        form.ListEventsSuppressed = true;
        form.Timer1->setEnabled(true);
        form.asxToolbar1->setButtonEnabled(ToolbarButton::Start, false);
        window.list(1)->setItemText(0, QStringLiteral(" Quorlink Manager F/W - QLMGR ver2.31 US"));
        window.list(2)->setItemText(4, QStringLiteral("6. Computer 6 F/W - QLREM ver1.07 US"));
        window.list(3)->setItemText(0, QStringLiteral("33. Computer 33 H/W - B"));
        form.setStatusText(QStringLiteral("Status: Getting version completed"));
        form.ProgBar1->setValue(100);

        form.RestoreIdleState();

        QVERIFY(form.isEnabled());
        QVERIFY(!form.Timer1->isEnabled());
        QVERIFY(!form.ListEventsSuppressed);
        QCOMPARE(window.list(1)->itemText(0), QStringLiteral(" Quorlink Manager"));
        QCOMPARE(window.list(2)->itemText(4), QStringLiteral("6. Computer 6"));
        QCOMPARE(window.list(3)->itemText(0), QStringLiteral("33. Computer 33"));
        QCOMPARE(form.statusText(), QStringLiteral("Status:"));
        QCOMPARE(form.ProgBar1->value(), 0);
        QVERIFY(window.buttonEnabled(ToolbarButton::Start));
        QVERIFY(form.RemoteSelected && !form.ManagerSelected);
        QVERIFY(form.mnuOpen->isEnabled());
    }
};

QTEST_MAIN(WindowCommandsTest)
#include "tst_windowcommands.moc"
