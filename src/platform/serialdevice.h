#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace quorlink {

enum class Parity { None, Even, Odd, Mark, Space };

// One line setting such as "19200,s,8,1": baud, parity letter, data bits,
// stop bits.
struct LineSettings
{
    int baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;

    // Accepts the letters n, e, o, m, s in either case; empty on a malformed text.
    static std::optional<LineSettings> parse(const QString& text);
    QString toString() const;
    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// What a device leads to. A serial line may reach the cards of a real switch;
// the simulation (the built-in switch and its simulated modem and silent
// ports) never does, and a pseudo-terminal is where the simulator behind
// `quorlink simulate --pty` and test peers live.
enum class DeviceReach
{
    SerialLine,
    Simulation,
    PseudoTerminal
};

// An opened serial device. Every operation may throw RuntimeError when the
// device fails or disappears.
class SerialDevice
{
public:
    virtual ~SerialDevice() = default;

    // A device that does not say otherwise may lead to real cards.
    virtual DeviceReach reach() const { return DeviceReach::SerialLine; }

    // Applies new line settings. Bytes written before the change still leave
    // under the old settings: the transmit side is drained first.
    virtual void apply(const LineSettings& settings) = 0;
    // Hands the bytes to the driver at once, in order; does not wait for them
    // to leave the wire.
    virtual void write(const QByteArray& bytes) = 0;
    // Received bytes waiting; never blocks.
    virtual int bytesWaiting() = 0;
    // Every waiting byte; never blocks.
    virtual QByteArray readAll() = 0;
    virtual void discardInput() = 0;
};

// Maps COM port numbers to devices and opens them.
class DeviceProvider
{
public:
    virtual ~DeviceProvider() = default;

    // Opens COM `comNumber` (1..4 in the program) with `settings`; throws
    // RuntimeError when the device does not exist or is held elsewhere.
    virtual std::unique_ptr<SerialDevice> open(int comNumber, const LineSettings& settings) = 0;
    // The name shown to the user for COM `comNumber`.
    virtual QString deviceName(int comNumber) const = 0;
};

} // namespace quorlink
