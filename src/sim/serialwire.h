#pragma once

#include "platform/serialdevice.h"

#include <cstdint>

namespace quorlink::sim {

// Start bit, data bits, the parity bit unless there is none, stop bits.
int bitsPerCharacter(const LineSettings& settings);

// Time that `characters` back-to-back characters occupy the wire, rounded up
// to whole microseconds. Computed exactly in integers so that tests can
// predict every arrival time: at 19200 baud with 11 bits, one character is
// 572.9 us and twelve are exactly 6875 us.
std::int64_t wireMicroseconds(int characters, int baud, int bitsPerCharacter);
// The same at the link's own setting, 19200 baud and 11 bits.
std::int64_t linkWireMicroseconds(int characters);

// One direction of a serial line. Characters leave one after another: a
// character that is ready while earlier ones are still on the wire follows
// them directly, so a run of characters keeps the exact character rhythm and
// does not drift by rounding.
class SerialWire
{
public:
    // The time at which a character that is ready to leave at `readyAt` has
    // completely crossed the wire.
    std::int64_t send(std::int64_t readyAt, int baud, int bitsPerCharacter);
    // When the last character sent has crossed.
    std::int64_t freeAt() const;

private:
    // The run of characters under way: its start, length and line speed.
    std::int64_t m_runStart = 0;
    int m_runLength = 0;
    int m_baud = 1;
    int m_bits = 0;
};

} // namespace quorlink::sim
