#include "windowfixture.h"

#include "app/aboutdialog.h"
#include "app/comportdialog.h"
#include "app/twips.h"
#include "app/versiondialog.h"

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

void closeDialog(QDialog& dialog, QPushButton* ok, QPushButton* cancel, Close how)
{
    dialog.show();
    switch (how) {
    case Close::Ok:
        ok->click();
        break;
    case Close::Cancel:
        cancel->click();
        break;
    case Close::CloseBox:
        dialog.close();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Close)

class DialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void comPortDialogShowsTheUsablePorts()
    {
        WindowFixture window;
        auto& form = *window.form;
        // COM1 carries the switch, COM3 a silent device, COM2 and COM4 are missing.
        QCOMPARE(form.PortBusy, (std::array<bool, 4>{false, true, false, true}));
        ComPortDialog dialog(form.MSComm1, form.ComPortNumber, form.PortBusy, &form);
        QVERIFY(dialog.option(0)->isChecked());
        QVERIFY(dialog.option(0)->isEnabled() && dialog.option(2)->isEnabled());
        QVERIFY(!dialog.option(1)->isEnabled() && !dialog.option(3)->isEnabled());
        dialog.show();
        saveShot(dialog, QStringLiteral("comport"));
    }

    void comPortDialogOkWithoutChangeReopensThePort()
    {
        WindowFixture window;
        auto& form = *window.form;
        const int opens = window.devices.openCount();
        ComPortDialog dialog(form.MSComm1, form.ComPortNumber, form.PortBusy, &form);
        closeDialog(dialog, dialog.okButton(), dialog.cancelButton(), Close::Ok);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(window.devices.openCount(), opens + 1);
        QVERIFY(form.MSComm1.portOpen());
        QCOMPARE(form.MSComm1.commPort(), 1);
        QCOMPARE(form.MSComm1.settings(), QStringLiteral("19200,s,8,1"));
    }

    void comPortChoiceReachesThePortAndTheSettingsFile_data()
    {
        QTest::addColumn<Close>("how");
        QTest::addColumn<int>("portInUse");
        QTest::addColumn<int>("remembered");
        QTest::newRow("COM3 then OK") << Close::Ok << 3 << 3;
        QTest::newRow("COM3 then Cancel") << Close::Cancel << 1 << 1;
        // The close box leaves the port alone but keeps the option clicked.
        QTest::newRow("COM3 then close box") << Close::CloseBox << 1 << 3;
    }
    void comPortChoiceReachesThePortAndTheSettingsFile()
    {
        QFETCH(Close, how);
        QFETCH(int, portInUse);
        QFETCH(int, remembered);
        WindowFixture window;
        auto& form = *window.form;
        {
            ComPortDialog dialog(form.MSComm1, form.ComPortNumber, form.PortBusy, &form);
            dialog.option(2)->click();
            QCOMPARE(form.ComPortNumber, 3);
            closeDialog(dialog, dialog.okButton(), dialog.cancelButton(), how);
        }
        QVERIFY(form.MSComm1.portOpen());
        QCOMPARE(form.MSComm1.commPort(), portInUse);
        QCOMPARE(form.ComPortNumber, remembered);
        QVERIFY(window.devices.isOpen(portInUse));
        QVERIFY(form.close());
        QVERIFY(window.settingsFileText().endsWith(QStringLiteral("Com = %1\r\n").arg(remembered)));
    }

    void versionDialogListsAnsweringCardsAndEmptiesThemOnClose_data()
    {
        QTest::addColumn<Close>("how");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("OK") << Close::Ok << true;
        QTest::newRow("Cancel") << Close::Cancel << false;
        QTest::newRow("close box") << Close::CloseBox << false;
    }
    void versionDialogListsAnsweringCardsAndEmptiesThemOnClose()
    {
        QFETCH(Close, how);
        std::array<QString, 64> remote;
        remote[40] = QStringLiteral("42. Computer 42 F/W - QLREM ver1.07 US");
        remote[0] = QStringLiteral("2. Computer 2 F/W - QLREM ver1.07 US");
        remote[5] = QStringLiteral("7. Computer 7 F/W - QLREM ver1.05 US");
        QString manager = QStringLiteral(" Quorlink Manager F/W - QLMGR ver2.31 US");
        const QString file = QStringLiteral("QLREM ver1.08 US");
        QFETCH(bool, confirmed);
        bool updateConfirmed = !confirmed; // the dialog starts from False
        VersionDialog dialog({3, manager, remote, file, updateConfirmed}, {}, nullptr);
        QCOMPARE(updateConfirmed, false);
        QCOMPARE(dialog.frame()->title(),
                 QStringLiteral("Varnex Quorlink Remote Cards Current Versions"));
        QCOMPARE(dialog.list()->count(), 3);
        QCOMPARE(dialog.list()->item(0)->text(), remote[0]);
        QCOMPARE(dialog.list()->item(1)->text(), remote[5]);
        QCOMPARE(dialog.list()->item(2)->text(), remote[40]);
        QCOMPARE(dialog.list()->currentRow(), -1);
        QCOMPARE(dialog.fileVersionLabel()->text(), file);
        if (how == Close::Ok) {
            dialog.show();
            saveShot(dialog, QStringLiteral("version-remote"));
        }
        closeDialog(dialog, dialog.okButton(), dialog.cancelButton(), how);
        QCOMPARE(updateConfirmed, confirmed);
        QVERIFY(std::all_of(remote.begin(), remote.end(),
                            [](const QString& text) { return text.isEmpty(); }));
        QVERIFY(!manager.isEmpty()); // only the list that was shown is emptied
        QCOMPARE(dialog.list()->count(), 0);
    }

    void versionDialogForTheManagementCard()
    {
        std::array<QString, 64> remote;
        remote[3] = QStringLiteral("5. Computer 5 F/W - left from before");
        QString manager = QStringLiteral(" Quorlink Manager F/W - QLMGR ver2.31 US");
        const QString file = QStringLiteral("QLMGR ver2.40 DE");
        bool confirmed = false;
        VersionDialog dialog({1, manager, remote, file, confirmed}, {}, nullptr);
        QCOMPARE(dialog.frame()->title(),
                 QStringLiteral("Varnex Quorlink Manager Current Version"));
        QCOMPARE(dialog.list()->count(), 1);
        QCOMPARE(dialog.list()->item(0)->text(), manager);
        dialog.show();
        saveShot(dialog, QStringLiteral("version-manager"));
        closeDialog(dialog, dialog.okButton(), dialog.cancelButton(), Close::Cancel);
        QVERIFY(manager.isEmpty());
        QVERIFY(!remote[3].isEmpty());
    }

    void menusOpenModalDialogsOwnedByTheWindow_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<double>("leftDivisor");
        QTest::addColumn<double>("topDivisor");
        QTest::newRow("Com Port") << "Communication Port" << 3.0 << 4.0;
        QTest::newRow("About") << "About Varnex Quorlink Update" << 4.0 << 3.0;
    }
    void menusOpenModalDialogsOwnedByTheWindow()
    {
        QFETCH(QString, title);
        QFETCH(double, leftDivisor);
        QFETCH(double, topDivisor);
        WindowFixture window;
        auto& form = *window.form;
        QPointer<QDialog> seen;
        QPoint expected(quorlink::app::pixelsFromTwipsX(
                            (form.outerWidthTwips() + form.leftTwips()) / leftDivisor),
                        quorlink::app::pixelsFromTwipsY(
                            (form.outerHeightTwips() + form.topTwips()) / topDivisor));
        QPoint position;
        QTimer::singleShot(0, [&] {
            seen = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!seen)
                return;
            position = seen->pos();
            saveShot(*seen, QStringLiteral("dialog-") + seen->objectName());
            seen->findChild<QPushButton*>()->click(); // OK, the first button
        });
        if (title.startsWith(QStringLiteral("About")))
            form.mnuAbout->trigger();
        else
            form.mnuPort->trigger();
        QVERIFY(seen.isNull()); // destroyed when closed
        QCOMPARE(position, expected);
    }
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
