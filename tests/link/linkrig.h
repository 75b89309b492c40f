#pragma once

#include "link/session.h"
#include "recordingprompts.h"
#include "seriallinedevices.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QTest>

namespace quorlink::test {

// A link on a simulated switch at COM1, on the virtual clock, with the port
// open at the idle setting as start-up leaves it; on request the switch
// looks like a serial line, as a real one does.
struct Rig
{
    sim::VirtualClock clock;
    sim::SimulatedSwitch switchBox{clock};
    sim::SimulatedDeviceProvider devices{switchBox, 1};
    SerialLineDevices serialLines{devices};
    RecordingPrompts prompts;
    link::Session session;
    CommPort& port = session.port();
    LinkTimer* const timer1 = &session.timer1();
    LinkTimer* const timer2 = &session.timer2();
    link::Link& link = session.link();

    explicit Rig(bool serialLine = false)
        : session(clock, prompts, serialLine ? static_cast<DeviceProvider&>(serialLines) : devices)
    {
        session.open(1);
    }

    // What every operation must leave behind, failed or not.
    void verifyRestingState() const
    {
        QCOMPARE(port.settings(), QString(link::protocol::DataSettings));
        QCOMPARE(timer1->interval(), 1000);
        QCOMPARE(timer2->interval(), 1000);
        QVERIFY(!timer1->isEnabled());
        QVERIFY(!timer2->isEnabled());
    }

    // A reset frame for the management card, without the pacing sleeps.
    void sendManagementResetFrame()
    {
        namespace protocol = link::protocol;
        link.setAddressSettings();
        link.write(QByteArray(protocol::ResetSignature.data(), protocol::ResetSignature.size()));
        link.writeByte(protocol::addressByte(protocol::ManagementCard));
        link.writeByte(protocol::ResetCommand);
        link.setDataSettings();
        link.writeByte(protocol::EndOfAddressPhase);
    }

    // The one message, with the exact text and style a technician sees.
    bool communicationErrorShown() const
    {
        const auto messages = prompts.messages();
        return prompts.log() == QStringList{"beep", "message:Communication Error"} &&
               messages.front().style == 0x10010 &&
               messages.front().text ==
                   QStringLiteral(
                       "Communication Error\r\n\r\n1. Check Serial Cable\r\n"
                       "2. Check Com Port Settings\r\n3. Check \"Upgrade\" (F10) Function");
    }
};

} // namespace quorlink::test
