#pragma once

#include "app/mainform.h"
#include "recordingprompts.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
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
    RecordingPrompts prompts;
    std::unique_ptr<app::MainForm> form;

    // `setUp` may change the simulated ports before the window starts.
    explicit WindowFixture(const std::function<void(sim::SimulatedDeviceProvider&)>& setUp = {})
    {
        devices.setDevice(3, sim::SimulatedDevice::Silent);
        if (setUp)
            setUp(devices);
        form = std::make_unique<app::MainForm>(
            app::MainFormServices{devices, clock, prompts, systemDirectory.path()});
        form->Form_Initialize();
        form->Form_Load();
        form->show();
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get());
    }

    app::CardList* list(int index) const { return form->List1[static_cast<std::size_t>(index)]; }

    // A left click on item `row` of List1(index), where the user would click.
    void click(int index, int row) const
    {
        app::CardList* target = list(index);
        target->scrollToItem(target->item(row));
        QTest::mouseClick(target->viewport(), Qt::LeftButton, {},
                          target->visualItemRect(target->item(row)).center());
    }

    bool buttonEnabled(int button) const { return form->asxToolbar1->isButtonEnabled(button); }
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
