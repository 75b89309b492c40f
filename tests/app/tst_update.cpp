#include "operationfixture.h"

#include "platform/firmwarefolder.h"
#include "platform/runtimeerror.h"

#include <sys/stat.h>

using namespace quorlink;
using app::MainForm;
using test::managerFile;
using test::remoteFile;
using test::SampleFile;
using test::VersionDialogAnswer;
namespace protocol = link::protocol;

namespace {

// Each remote card's own answer, so that a text in the wrong place shows.
QString oldRemote(int card)
{
    return QStringLiteral("QLREM ver1.%1 US").arg(card, 2, 10, QLatin1Char('0'));
}
const QString NewRemote = QStringLiteral("QLREM ver1.08 US");
const QString OldManager = QStringLiteral("QLMGR ver2.31 US");

struct UpdateWindow : test::OperationWindow
{
    QTemporaryDir files;

    UpdateWindow()
    {
        simulatedSwitch.card(1).setFirmwareVersion(OldManager);
        for (int card = 2; card <= 64; ++card)
            simulatedSwitch.card(card).setFirmwareVersion(oldRemote(card));
    }

    void selectCard(int card)
    {
        const auto [index, row] = placeOf(card);
        click(index, row);
    }
    void open(const QString& path)
    {
        prompts.scriptFile(path);
        form->controls().mnuOpen->trigger();
    }
    void start() { form->asxToolbar1_ButtonClick(3, app::ToolbarKey::Start); }

    QStringList selectedCardTexts() const
    {
        QStringList texts;
        for (const int card : selectedCards())
            texts << lineOf(card);
        return texts;
    }

    // What every command leaves behind.
    void verifyIdleAfterwards()
    {
        QCOMPARE(idleProblems(), QString());
        QVERIFY(form->controls().mnuOpen->isEnabled());
        QCOMPARE(session->port().settings(), QString(protocol::DataSettings));
        QCOMPARE(form->controls().ProgBar1->barStartColour(), 0xFF0000u); // blue
        QCOMPARE(form->controls().ProgBar1->displayText(), QStringLiteral("0%"));
        QVERIFY(form->close());
    }
};

} // namespace

class UpdateTest : public QObject
{
    Q_OBJECT

private slots:
    void remoteFlows_data()
    {
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<bool>("confirmed");   // the version dialog's answer
        QTest::addColumn<int>("abortingCard"); // aborts record 2; 0: none
        QTest::newRow("cards 3 and 40") << QList<int>{3, 40} << true << 0;
        // The group stops as one; the lists keep their lines and choice.
        QTest::newRow("card 40 aborts") << QList<int>{3, 40} << true << 40;
        QTest::newRow("dialog cancelled") << QList<int>{4} << false << 0;
    }
    // From the clicks to the read-back: the cards receive exactly the stored
    // records and show their new version. The file names no language, and a
    // remote run still asks nothing about one.
    void remoteFlows()
    {
        QFETCH(QList<int>, cards);
        QFETCH(bool, confirmed);
        QFETCH(int, abortingCard);
        UpdateWindow window;
        const QString newVersion = QStringLiteral("QLREM 1.08");
        const SampleFile file = remoteFile(window.files.path(), newVersion);
        for (const int card : cards)
            window.selectCard(card);
        window.open(file.path);
        QCOMPARE(window.form->controls().StatusBar1->panelText(1), file.path);
        if (abortingCard != 0)
            window.simulatedSwitch.card(abortingCard)
                .scriptRecordAnswers(2, {protocol::DownloadAborted});

        VersionDialogAnswer answer(confirmed);
        window.start();

        QVERIFY(answer.shown);
        QStringList listed;
        for (const int card : cards)
            listed << MainForm::remoteItemText(card) + " F/W - " + oldRemote(card);
        QCOMPARE(answer.listed, listed);
        const bool received = confirmed && abortingCard == 0;
        QStringList lines;
        for (int card = 2; card <= 64; ++card) {
            QCOMPARE(window.simulatedSwitch.card(card).images(),
                     received && cards.contains(card) ? file.images : QList<QStringList>{});
            if (cards.contains(card))
                lines << MainForm::remoteItemText(card) + (received ? " F/W - " + newVersion : "");
        }
        QCOMPARE(window.selectedCardTexts(), lines);
        QCOMPARE(file.contents(), file.written);
        window.verifyIdleAfterwards();
    }

    void openChecksTheFileAgainstTheSelection_data()
    {
        QTest::addColumn<int>("card"); // 0: nothing selected
        QTest::addColumn<QString>("name"); // "missing", "pipe": opened after a good file
        QTest::addColumn<QString>("refusal"); // the message's title; empty: accepted
        QTest::newRow("nothing selected: no dialog") << 0 << "qdx_rem108_e.hex" << "";
        QTest::newRow("management file for a remote card")
            << 7 << "qdx_mgt232_e.hex" << "File Error";
        QTest::newRow("management file") << 1 << "qdx_mgt232_e.hex" << "";
        QTest::newRow("not found") << 7 << "missing" << "File Error";
        // Nothing writes to it: reading it would hold the window for ever.
        QTest::newRow("a named pipe") << 7 << "pipe" << "Disk Drive Error";
    }
    // A refused or failed Open keeps the file that panel 1 shows for Start.
    // The read test works on a copy of its own: a user's my.hex in the
    // system folder is neither overwritten nor deleted, and no copy remains.
    void openChecksTheFileAgainstTheSelection()
    {
        QFETCH(int, card);
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        UpdateWindow window;
        const QDir system(window.systemDirectory.path());
        QFile mine(system.filePath("my.hex"));
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
        mine.close();
        const QStringList before = system.entryList(QDir::Files);
        if (card != 0)
            window.selectCard(card);
        const bool unreadable = name == "missing" || name == "pipe";
        QString path = QDir(window.files.path()).filePath("qdx_rem999_e.hex");
        QString kept;
        if (unreadable) {
            kept = remoteFile(window.files.path(), NewRemote).path;
            window.open(kept);
            if (name == "pipe")
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            window.prompts.clear();
        } else {
            path = remoteFile(window.files.path(), NewRemote, name).path;
            kept = refusal.isEmpty() && card != 0 ? path : QString();
        }
        window.open(path);

        QCOMPARE(system.entryList(QDir::Files), before);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("mine"));
        QCOMPARE(window.form->controls().StatusBar1->panelText(1),
                 kept.isEmpty() ? "File Name:" : kept);
        const auto& entries = window.prompts.entries();
        if (card == 0) {
            QVERIFY(entries.empty());
            return;
        }
        QCOMPARE(window.prompts.log().mid(1),
                 refusal.isEmpty() ? QStringList{} : QStringList{"message:" + refusal});
        if (unreadable)
            QCOMPARE(window.prompts.messages().front().text,
                     name == "missing" ? "File " + path + " not found" : "Cannot read " + path);
        // On the simulated switch, Open starts among the sample files.
        else
            QCOMPARE(entries.front().text, sampleFolder());
        QCOMPARE(entries.front().filter, card == 1 ? "Hex Files (*.hex)|qdx_mgt*e.hex"
                                                   : "Hex Files (*.hex)|qdx_rem*e.hex");
    }

    // On a serial line Open starts among the real firmware files, never
    // among the made-up samples.
    void openStartsInTheFirmwareFolderOnASerialLine()
    {
        test::OperationWindow window(true);
        window.choose(2, 1);
        window.form->controls().mnuOpen->trigger();
        QCOMPARE(window.prompts.entries().front().text, firmwareFolder());
    }

    void interruptedStartSendsNothing_data()
    {
        QTest::addColumn<QList<int>>("chosen");
        QTest::addColumn<int>("clicked"); // 0: Cancel; -1: the file removed before Start
        QTest::addColumn<QStringList>("prompts");
        QTest::newRow("Cancel") << QList<int>{1} << 0 << QStringList{};
        QTest::newRow("card deselected") << QList<int>{1} << 1 << QStringList{};
        // The scope stays, but not the cards the user started the update for.
        QTest::newRow("another card chosen") << QList<int>{3, 5} << 40 << QStringList{};
        // The checks of the file are the preparation's; the window finds a
        // file gone since Open unreadable.
        QTest::newRow("file gone")
            << QList<int>{7} << -1 << QStringList{"beep", "message:Disk Drive Error"};
    }
    // The file is read with the lists and keys still working; a card that
    // answered an earlier query must not carry the run.
    void interruptedStartSendsNothing()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(int, clicked);
        UpdateWindow window;
        const SampleFile file = chosen == QList<int>{1}
                                    ? managerFile(window.files.path(), OldManager)
                                    : remoteFile(window.files.path(), NewRemote);
        for (const int card : chosen)
            window.selectCard(card);
        window.open(file.path);
        window.prompts.clear();
        window.session->link().linkOk = true;
        if (clicked < 0)
            QFile::remove(file.path);
        window.clock.post(window.clock.nowMicroseconds(), [&] {
            if (clicked == 0)
                window.form->CancelOperation();
            else if (clicked > 0)
                window.selectCard(clicked);
        });
        const std::size_t traceSize = window.simulatedSwitch.trace().entries().size();
        VersionDialogAnswer dialog(true);
        window.start();
        QVERIFY(!dialog.shown);
        QCOMPARE(window.simulatedSwitch.trace().entries().size(), traceSize);
        QTEST(window.prompts.log(), "prompts");
        window.verifyIdleAfterwards();
    }

    // One run-time error must not leave the window unable to close or the
    // version query in update mode.
    void startErrorHandlerRestoresTheWindow()
    {
        UpdateWindow window;
        const SampleFile file = managerFile(window.files.path(), OldManager);
        window.selectCard(1);
        window.open(file.path);
        window.prompts.onMessage([](const auto& entry) {
            if (entry.text.startsWith(QLatin1String("Now Your OSD")))
                throw RuntimeError(RuntimeError::DeviceUnavailable, QStringLiteral("gone"));
        });
        VersionDialogAnswer dialog(true);
        window.start();
        window.prompts.onMessage({});
        QCOMPARE(window.prompts.messages().back().title, QStringLiteral("Disk Drive Error"));
        window.verifyIdleAfterwards();
    }
};

QTEST_MAIN(UpdateTest)
#include "tst_update.moc"
