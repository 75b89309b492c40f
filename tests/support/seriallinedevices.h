#pragma once

#include "platform/serialdevice.h"

#include <memory>

namespace quorlink::test {

// Presents the devices of another provider as serial lines, as a USB adapter
// on a real switch looks to the programs. The bytes still go where they went
// (the simulated switch, whose trace then shows what was sent).
class SerialLineDevices final : public DeviceProvider
{
public:
    explicit SerialLineDevices(DeviceProvider& inner) : m_inner(inner) {}

    std::unique_ptr<SerialDevice> open(int comNumber, const LineSettings& settings) override
    {
        return std::make_unique<Line>(m_inner.open(comNumber, settings));
    }
    QString deviceName(int comNumber) const override { return m_inner.deviceName(comNumber); }

private:
    class Line final : public SerialDevice
    {
    public:
        explicit Line(std::unique_ptr<SerialDevice> inner) : m_inner(std::move(inner)) {}

        DeviceReach reach() const override { return DeviceReach::SerialLine; }
        void apply(const LineSettings& settings) override { m_inner->apply(settings); }
        void write(const QByteArray& bytes) override { m_inner->write(bytes); }
        int bytesWaiting() override { return m_inner->bytesWaiting(); }
        QByteArray readAll() override { return m_inner->readAll(); }
        void discardInput() override { m_inner->discardInput(); }

    private:
        std::unique_ptr<SerialDevice> m_inner;
    };

    DeviceProvider& m_inner;
};

} // namespace quorlink::test
