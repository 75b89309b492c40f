#pragma once

#include "windowfixture.h"

#include "app/versiondialog.h"
#include "firmwaremaker.h"
#include "link/protocol.h"
#include "progbar/progbar.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace quorlink::test {

// A firmware file written by the maker, and what a card must receive from it.
struct SampleFile
{
    QString path;
    QList<QStringList> images; // what the card receives, in order
    QByteArray written;

    QByteArray contents() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// The images end at the file's end record, each followed by the fixed one; a
// file of two images sends the second first.
inline SampleFile writeFile(const QString& path, const QStringList& texts)
{
    SampleFile file{path, {}, firmware::maker::FirmwareMaker().fileContents(texts)};
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file.written) != file.written.size())
        qFatal("cannot write %s", qPrintable(path));
    const auto upTo = [&texts](qsizetype first, qsizetype end) {
        return texts.mid(first, end - first) << QString(link::protocol::EndRecord);
    };
    qsizetype end = 0;
    while (!texts.at(end).startsWith(link::protocol::EndRecord))
        ++end;
    file.images = end + 1 == texts.size()
                      ? QList<QStringList>{upTo(0, end)}
                      : QList<QStringList>{upTo(end + 1, texts.size() - 1), upTo(0, end)};
    return file;
}

inline SampleFile remoteFile(const QString& folder, const QString& version,
                             const QString& name = QStringLiteral("qdx_rem108_e.hex"))
{
    namespace maker = firmware::maker;
    return writeFile(QDir(folder).filePath(name), maker::FirmwareMaker(21).remoteRecordTexts(
                                                      maker::makeImage(0x2000, 300, version, 21)));
}

inline SampleFile managerFile(const QString& folder, const QString& version,
                              const QString& name = QStringLiteral("qdx_mgt232_e.hex"))
{
    namespace maker = firmware::maker;
    return writeFile(QDir(folder).filePath(name), maker::FirmwareMaker(22).managerRecordTexts(
                                                      maker::makeImage(0x2000, 200, version, 22),
                                                      maker::makeImage(0x3000, 100, {}, 23)));
}

// Answers the version dialog when it opens, with OK or Cancel, and
// remembers what it listed.
class VersionDialogAnswer : public QObject
{
public:
    bool shown = false;
    QStringList listed;

    explicit VersionDialogAnswer(bool ok)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, ok] {
            auto* dialog = qobject_cast<app::VersionDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            shown = true;
            for (int row = 0; row < dialog->list()->count(); ++row)
                listed << dialog->list()->item(row)->text();
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                if (button->text() == (ok ? QLatin1String("OK") : QLatin1String("Cancel"))) {
                    button->click();
                    return;
                }
            }
        });
        m_timer.start(0);
    }

private:
    QTimer m_timer;
};

// A window whose simulated cards answer "FW<n>" and "HW<n>", with the ways a
// user starts a command: a toolbar button or its Alt key.
struct OperationWindow : WindowFixture
{
    explicit OperationWindow(bool serialLine = false) : WindowFixture(serialLine)
    {
        for (int card = 1; card <= 64; ++card) {
            simulatedSwitch.card(card)
                .setFirmwareVersion(QStringLiteral("FW%1").arg(card))
                .setHardwareVersion(QStringLiteral("HW%1").arg(card));
        }
        simulatedSwitch.trace().clear(); // the start-up probe's bytes
    }

    app::MainForm& window() const { return *form; }

    // Chooses item `row` of List1(index) as a click does, through the list's
    // handler, wherever the list happens to be scrolled.
    void choose(int index, int row) const
    {
        list(index)->setListIndex(row);
        form->List1_MouseUp(index, 1, 0, 0, 0);
    }

    void pressButton(int button) const
    {
        QTest::mouseClick(form->controls().asxToolbar1->button(button), Qt::LeftButton);
    }
    void pressAlt(Qt::Key key) const { QTest::keyClick(form.get(), key, Qt::AltModifier); }

    // Card numbers asked for a version, in order (address bytes under mark
    // parity followed by a version command).
    QList<int> cardsAsked() const
    {
        QList<int> cards;
        const auto bytes = simulatedSwitch.trace().pcBytes();
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
            const bool versionCommand = bytes[i + 1].value == 0x10 || bytes[i + 1].value == 0x12;
            if (bytes[i].parity == Parity::Mark && bytes[i].value > 0x80 &&
                bytes[i].value <= 0xC0 && bytes[i + 1].parity == Parity::Mark && versionCommand)
                cards << bytes[i].value - 0x80;
        }
        return cards;
    }

    // The item texts of List1(2) and List1(3) that differ from the plain ones,
    // as "card:text".
    QStringList changedRemoteTexts() const
    {
        QStringList changed;
        for (int card = 2; card <= 64; ++card) {
            if (lineOf(card) != app::MainForm::remoteItemText(card))
                changed << QStringLiteral("%1:%2").arg(card).arg(lineOf(card));
        }
        return changed;
    }

    int communicationErrors() const
    {
        return static_cast<int>(prompts.log().count(QStringLiteral("message:Communication Error")));
    }

    // Everything an ended operation must put back, empty when all is well:
    // the window, its menus, toolbar buttons 1 to 6 (Advanced mode withholds
    // Start and the version queries), the lists that hold the selection (all
    // three when nothing is selected), the link's operation, both timers (disabled,
    // 1000 ms), the status and the bar.
    QString idleProblems() const
    {
        const auto& ui = form->controls();
        QStringList found;
        if (!form->isEnabled() || form->listEventsSuppressed() ||
            session->link().operationRunning())
            found << QStringLiteral("window locked or busy");
        for (QAction* menu : {ui.mnuFile, ui.mnuExit, ui.mnuOptions, ui.mnuPort, ui.mnuAdvanced,
                              ui.mnuHelp, ui.mnuAbout}) {
            if (!menu->isEnabled())
                found << menu->text();
        }
        const bool remote = remoteSelCount() != 0;
        const bool manager = !remote && list(1)->selCount() != 0;
        for (int button = 1; button <= 6; ++button) {
            const bool advancedOnly = form->advancedMode() && button >= app::ToolbarButton::Start &&
                                      button <= app::ToolbarButton::HardwareVersion;
            if (!buttonEnabled(button) && !(manager && button <= 2) && !advancedOnly)
                found << ui.asxToolbar1->caption(button);
        }
        // A remote selection is the target even beside the management card.
        for (int index = 1; index <= 3; ++index) {
            const bool holdsTarget = index == 1 ? !remote : !manager;
            if (holdsTarget && !list(index)->isEnabled())
                found << QStringLiteral("List1(%1)").arg(index);
        }
        for (const auto* timer : {&session->timer1(), &session->timer2()}) {
            if (timer->isEnabled() || timer->interval() != 1000)
                found << QStringLiteral("timer at %1 ms").arg(timer->interval());
        }
        if (form->statusText() != QStringLiteral("Status:") || ui.ProgBar1->value() != 0)
            found << form->statusText() + QStringLiteral(", bar ") +
                         QString::number(ui.ProgBar1->value());
        return found.join(QStringLiteral("; "));
    }

    // The line List1 shows for `card`.
    QString lineOf(int card) const
    {
        const auto [index, row] = placeOf(card);
        return list(index)->itemText(row);
    }
};

// Each change of the bar's value and text colour ("33 black", "67 white")
// with the virtual time it was first seen, and each change of the status,
// looked at now and then every millisecond of virtual time until stopped.
class BarWatcher
{
public:
    BarWatcher(sim::VirtualClock& clock, const app::MainForm& form)
        : m_clock(clock), m_form(form), m_running(std::make_shared<bool>(true))
    {
        tick(m_running);
    }
    ~BarWatcher() { *m_running = false; }

    // Takes a last look now, after the operation.
    QStringList stop()
    {
        if (*m_running)
            look();
        *m_running = false;
        return m_bar;
    }
    const QList<std::int64_t>& times() const { return m_times; }
    const QStringList& statuses() const { return m_statuses; }

private:
    void tick(const std::shared_ptr<bool>& running)
    {
        if (!*running)
            return;
        look();
        m_clock.post(m_clock.nowMicroseconds() + 1000, [this, running] { tick(running); });
    }
    void look()
    {
        const QString seen =
            QStringLiteral("%1 %2")
                .arg(m_form.controls().ProgBar1->value())
                .arg(m_form.controls().ProgBar1->fontColour() == 0xFFFFFF ? "white" : "black");
        if (m_bar.isEmpty() || m_bar.last() != seen) {
            m_bar << seen;
            m_times << m_clock.nowMicroseconds();
        }
        if (m_statuses.isEmpty() || m_statuses.last() != m_form.statusText())
            m_statuses << m_form.statusText();
    }

    sim::VirtualClock& m_clock;
    const app::MainForm& m_form;
    std::shared_ptr<bool> m_running;
    QStringList m_bar;
    QList<std::int64_t> m_times;
    QStringList m_statuses;
};

} // namespace quorlink::test
