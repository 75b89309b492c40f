#include "windowfixture.h"

#include "app/comportdialog.h"
#include "app/versiondialog.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using quorlink::app::ComPortDialog;
using quorlink::app::VersionDialog;
using quorlink::test::saveShot;
using quorlink::test::WindowFixture;

namespace {

enum class Close
{
    Ok,
    Cancel,
    CloseBox
};

template <typename Dialog> void closeDialog(Dialog& dialog, Close how)
{
    dialog.show();
    saveShot(dialog, dialog.objectName() + QLatin1Char('-') + QTest::currentDataTag());
    if (how == Close::Ok)
        dialog.okButton()->click();
    else if (how == Close::Cancel)
        dialog.cancelButton()->click();
    else
        dialog.close();
}

} // namespace

Q_DECLARE_METATYPE(Close)

class DialogsTest : public QObject
{
    Q_OBJECT

private slots:
    // COM1 carries the switch, COM3 a silent device, COM2 and COM4 are missing.
    void comPortChoiceReachesThePortAndTheSettingsFile_data()
    {
        QTest::addColumn<bool>("chooseCom3");
        QTest::addColumn<Close>("how");
        QTest::addColumn<int>("portInUse");
        QTest::addColumn<int>("remembered");
        QTest::newRow("unchanged then OK") << false << Close::Ok << 1 << 1;
        QTest::newRow("COM3 then OK") << true << Close::Ok << 3 << 3;
        QTest::newRow("COM3 then Cancel") << true << Close::Cancel << 1 << 1;
        // The close box leaves the port alone but keeps the option clicked.
        QTest::newRow("COM3 then close box") << true << Close::CloseBox << 1 << 3;
    }
    void comPortChoiceReachesThePortAndTheSettingsFile()
    {
        QFETCH(bool, chooseCom3);
        QFETCH(Close, how);
        QFETCH(int, portInUse);
        QFETCH(int, remembered);
        WindowFixture window;
        auto& form = *window.form;
        const int opens = window.devices.openCount();
        bool shown = false;
        QTimer::singleShot(0, &form, [&] {
            auto* dialog = qobject_cast<ComPortDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shown = true;
            QVERIFY(dialog->option(0)->isChecked());
            // A greyed port tells its device and why.
            QCOMPARE(dialog->option(1)->toolTip(), QStringLiteral("COM2 does not exist"));
            QVERIFY(dialog->option(0)->isEnabled() && dialog->option(2)->isEnabled());
            QVERIFY(!dialog->option(1)->isEnabled() && !dialog->option(3)->isEnabled());
            if (chooseCom3)
                dialog->option(2)->click();
            closeDialog(*dialog, how);
        });
        form.controls().mnuPort->trigger();
        QVERIFY(shown);
        QCOMPARE(window.devices.openCount(), opens + (how == Close::CloseBox ? 0 : 1));
        QCOMPARE(window.session->port().commPort(), portInUse);
        QCOMPARE(window.session->port().settings(), QStringLiteral("19200,s,8,1"));
        QVERIFY(form.close());
        QVERIFY(window.settingsFileText().endsWith(QStringLiteral("Com = %1\r\n").arg(remembered)));
    }

    void versionDialogListsAnsweringCardsAndEmptiesThemOnClose_data()
    {
        QTest::addColumn<bool>("forManager");
        QTest::addColumn<Close>("how");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("remote close box") << false << Close::CloseBox << false;
        QTest::newRow("manager Cancel") << true << Close::Cancel << false;
    }
    void versionDialogListsAnsweringCardsAndEmptiesThemOnClose()
    {
        QFETCH(bool, forManager);
        QFETCH(Close, how);
        QFETCH(bool, confirmed);
        std::array<QString, 64> remote;
        remote[40] = QStringLiteral("42. Computer 42 F/W - QLREM ver1.07 US");
        remote[0] = QStringLiteral("2. Computer 2 F/W - QLREM ver1.07 US");
        remote[5] = QStringLiteral("7. Computer 7 F/W - QLREM ver1.05 US");
        QString manager = QStringLiteral(" Quorlink Manager F/W - QLMGR ver2.31 US");
        const QStringList shown =
            forManager ? QStringList{manager} : QStringList{remote[0], remote[5], remote[40]};
        const QString file = QStringLiteral("QLREM ver1.08 US");
        bool updateConfirmed = !confirmed; // the dialog starts from False
        VersionDialog dialog({forManager ? 1 : 3, manager, remote, file, updateConfirmed}, {},
                             nullptr);
        QCOMPARE(updateConfirmed, false);
        QCOMPARE(dialog.frame()->title(),
                 forManager ? QStringLiteral("Varnex Quorlink Manager Current Version")
                            : QStringLiteral("Varnex Quorlink Remote Cards Current Versions"));
        QStringList listed;
        for (int row = 0; row < dialog.list()->count(); ++row)
            listed << dialog.list()->item(row)->text();
        QCOMPARE(listed, shown);
        QCOMPARE(dialog.list()->currentRow(), -1);
        QCOMPARE(dialog.fileVersionLabel()->text(), file);
        closeDialog(dialog, how);
        QCOMPARE(updateConfirmed, confirmed);
        // Only the list that was shown is emptied.
        QCOMPARE(manager.isEmpty(), forManager);
        QCOMPARE(
            std::all_of(remote.begin(), remote.end(), [](auto& text) { return text.isEmpty(); }),
            !forManager);
    }

};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
