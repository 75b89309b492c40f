#include "windowfixture.h"

#include "progbar/progbar.h"

#include <QToolButton>

namespace ToolbarButton = quorlink::app::ToolbarButton;
using quorlink::test::WindowFixture;

namespace {

const QString VersionWarning = QStringLiteral("You must choose card(s) to get a version");
const QString ResetWarning = QStringLiteral("You must choose card(s) for reset");
// A button's own mnemonic would click it again 100 ms after the key.
constexpr int DelayedClickMs = 150;

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
    void keysRunTheirCommandExactlyOnce()
    {
        const auto alt = Qt::AltModifier;
        // (key, modifiers, warning shown)
        const std::tuple<Qt::Key, Qt::KeyboardModifiers, QString> presses[] = {
            {Qt::Key_R, alt, {}}, // Reset needs Advanced mode
            {Qt::Key_V, {}, {}},
            {Qt::Key_W, Qt::ControlModifier, {}},
            {Qt::Key_X, alt, {}}, // no command's letter
            {Qt::Key_Tab, {}, {}},
            {Qt::Key_V, alt, VersionWarning},
            {Qt::Key_W, alt, VersionWarning},
        };
        WindowFixture window;
        auto& form = *window.form;
        QStringList expected;
        for (const auto& [key, modifiers, warning] : presses) {
            QTest::keyClick(window.list(2), key, modifiers);
            if (!warning.isEmpty())
                expected << warning;
            QCOMPARE(messageTexts(window.prompts), expected);
        }
        // Wait before Advanced mode disables the version buttons, which
        // would hide their delayed clicks.
        QTest::qWait(DelayedClickMs);
        QCOMPARE(messageTexts(window.prompts), expected);
        form.mnuAdvanced_Click();
        QTest::keyClick(window.list(2), Qt::Key_R, alt);
        QCOMPARE(messageTexts(window.prompts), expected << ResetWarning);
        QTest::qWait(DelayedClickMs);
        QCOMPARE(messageTexts(window.prompts), expected);
    }

    // Alt+S selects every remote card even where the management card
    // disables its button, and leaves the chosen file for Start to refuse;
    // single clicks toggle cards after Select All and Unselect All.
    void keyboardCommandsIgnoreTheButtonState()
    {
        WindowFixture window;
        auto& form = *window.form;
        const QString managerFile = QStringLiteral("/fw/qdx_mgt231e.hex");
        window.click(1, 0);
        form.setFirmwareFile(managerFile);
        QVERIFY(!window.buttonEnabled(ToolbarButton::SelectAll));
        QTest::keyClick(window.list(1), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(window.selectedCards(), WindowFixture::cards(2, 64));
        QCOMPARE(form.controls().StatusBar1->panelText(1), managerFile);
        QVERIFY(!window.list(1)->isEnabled());
        window.click(3, 5);
        QCOMPARE(window.selectedCards(), WindowFixture::cards(2, 64, 38));
        QTest::keyClick(window.list(2), Qt::Key_U, Qt::AltModifier);
        QCOMPARE(window.selectedCards(), QList<int>{});
        window.click(3, 5);
        QCOMPARE(window.selectedCards(), QList<int>{38});
        // Alt+U leaves a chosen management card chosen: once Open is offered
        // again, it asks for a management file.
        window.click(3, 5);
        window.click(1, 0);
        QTest::keyClick(window.list(1), Qt::Key_U, Qt::AltModifier);
        form.mnuAdvanced_Click();
        form.mnuAdvanced_Click();
        window.prompts.clear();
        form.controls().mnuOpen->trigger();
        const auto& entries = window.prompts.entries();
        QVERIFY(!entries.empty());
        QCOMPARE(entries.front().filter, "Hex Files (*.hex)|qdx_mgt*e.hex");
    }

    void cancelReturnsToTheEmptyStartingState_data()
    {
        QTest::addColumn<bool>("portVanished");
        QTest::newRow("port present") << false;
        QTest::newRow("port vanished") << true; // silently stays closed
    }
    void cancelReturnsToTheEmptyStartingState()
    {
        QFETCH(bool, portVanished);
        WindowFixture window;
        auto& form = *window.form;
        form.SelectAllRemoteCards();
        form.setFirmwareFile(QStringLiteral("/fw/qdx_rem107e.hex"));
        form.mnuAdvanced_Click();
        window.devices.setRemoved(1, portVanished);
        const int opens = window.devices.openCount();
        QTest::keyClick(window.list(2), Qt::Key_C, Qt::AltModifier);

        QCOMPARE(window.list(1)->selCount() + window.remoteSelCount(), 0);
        QVERIFY(window.list(1)->isEnabled());
        QCOMPARE(form.controls().StatusBar1->panelText(1), QStringLiteral("File Name:"));
        QVERIFY(!form.advancedMode() && !form.controls().mnuAdvanced->isChecked());
        QVERIFY(!window.buttonEnabled(ToolbarButton::Reset));
        QCOMPARE(window.devices.openCount(), opens + (portVanished ? 0 : 1));
        QCOMPARE(window.session->port().portOpen(), !portVanished);
        QCOMPARE(window.prompts.messageCount(), 0);
        // Nothing is chosen, so File > Open offers no file dialog.
        form.controls().mnuOpen->trigger();
        QVERIFY(window.prompts.entries().empty());
        // A click after Cancel selects again: the records were cleared too.
        window.click(2, 3);
        QVERIFY(window.list(2)->isItemSelected(3));
    }

};

QTEST_MAIN(WindowCommandsTest)
#include "tst_windowcommands.moc"
