#pragma once

#include "app/mainform.h"
#include "recordingprompts.h"
#include "seriallinedevices.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QDir>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace quorlink::test {

// A started main window on a simulated switch at COM1, with virtual time,
// recorded prompts and its own system directory.
struct WindowFixture
{
    QTemporaryDir systemDirectory;
    sim::VirtualClock clock;
    sim::SimulatedSwitch simulatedSwitch{clock};
    sim::SimulatedDeviceProvider devices{simulatedSwitch, 1};
    SerialLineDevices serialLines{devices};
    RecordingPrompts prompts;
    std::unique_ptr<link::Session> session;
    std::unique_ptr<app::MainForm> form;

    // With `serialLine` the window sees its ports as serial lines, as on a
    // real switch.
    explicit WindowFixture(bool serialLine = false)
    {
        devices.setDevice(3, sim::SimulatedDevice::Silent);
        DeviceProvider& shown = serialLine ? static_cast<DeviceProvider&>(serialLines) : devices;
        session = std::make_unique<link::Session>(clock, prompts, shown);
        form = std::make_unique<app::MainForm>(
            app::MainFormServices{*session, systemDirectory.path()});
        form->Form_Initialize();
        form->Form_Load();
        form->show();
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get());
    }

    app::CardList* list(int index) const
    {
        return form->controls().List1[static_cast<std::size_t>(index)];
    }

    // (list index, row) of `card`'s item.
    std::pair<int, int> placeOf(int card) const
    {
        const int first = list(2)->listCount();
        return card == 1           ? std::pair{1, 0}
               : card <= first + 1 ? std::pair{2, card - 2}
                                   : std::pair{3, card - 2 - first};
    }

    // Whether item `row` of List1(index) is wholly in view.
    bool rowShown(int index, int row) const
    {
        const app::CardList* target = list(index);
        return target->viewport()->rect().contains(target->visualItemRect(target->item(row)));
    }

    // Scrolls List1(index) with its scroll bar arrows until item `row` shows,
    // as the user would before clicking it.
    void scrollUntilShown(int index, int row) const
    {
        app::CardList* target = list(index);
        for (int step = 0; step < target->count() && !rowShown(index, row); ++step) {
            const bool above = target->visualItemRect(target->item(row)).top() < 0;
            const auto arrow =
                above ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd;
            target->verticalScrollBar()->triggerAction(arrow);
        }
    }

    // Left button pressed and released on item `row` of List1(index) where it
    // shows now; the press may bring the focus, as a real one does.
    void pressAndRelease(int index, int row) const
    {
        app::CardList* target = list(index);
        const QPoint at = target->visualItemRect(target->item(row)).center();
        QTest::mousePress(target->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(target->viewport(), Qt::LeftButton, {}, at);
    }

    // A left click on item `row` of List1(index), scrolled into view first.
    void click(int index, int row) const
    {
        scrollUntilShown(index, row);
        pressAndRelease(index, row);
    }

    // The card numbers of the selected items, in card order.
    QList<int> selectedCards() const
    {
        QList<int> cards;
        if (list(1)->isItemSelected(0))
            cards << 1;
        const int firstRemoteCount = list(2)->count();
        for (int row = 0; row < firstRemoteCount; ++row) {
            if (list(2)->isItemSelected(row))
                cards << row + 2;
        }
        for (int row = 0; row < list(3)->count(); ++row) {
            if (list(3)->isItemSelected(row))
                cards << row + 2 + firstRemoteCount;
        }
        return cards;
    }

    // Cards `first` to `last` but `except`.
    static QList<int> cards(int first, int last, int except = 0)
    {
        QList<int> numbers;
        for (int card = first; card <= last; ++card) {
            if (card != except)
                numbers << card;
        }
        return numbers;
    }

    bool buttonEnabled(int button) const
    {
        return form->controls().asxToolbar1->isButtonEnabled(button);
    }
    int remoteSelCount() const { return list(2)->selCount() + list(3)->selCount(); }

    QString settingsFileText() const
    {
        QFile file(QDir(systemDirectory.path()).filePath(QStringLiteral("update.ini")));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
};

// Saves a picture of `widget` when QUORLINK_SHOT_DIR names a folder, for a
// person to look at.
inline void saveShot(QWidget& widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("QUORLINK_SHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    widget.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace quorlink::test
