#include "serialwire.h"

#include "link/protocol.h"

#include <algorithm>

namespace quorlink::sim {

int bitsPerCharacter(const LineSettings& settings)
{
    const int parityBits = settings.parity == Parity::None ? 0 : 1;
    return 1 + settings.dataBits + parityBits + settings.stopBits;
}

std::int64_t wireMicroseconds(int characters, int baud, int bitsPerCharacter)
{
    const std::int64_t bitMicroseconds = std::int64_t{characters} * bitsPerCharacter * 1'000'000;
    return (bitMicroseconds + baud - 1) / baud;
}

std::int64_t linkWireMicroseconds(int characters)
{
    return wireMicroseconds(characters, link::protocol::BaudRate, link::protocol::BitsPerCharacter);
}

std::int64_t SerialWire::freeAt() const
{
    return m_runStart + wireMicroseconds(m_runLength, m_baud, m_bits);
}

std::int64_t SerialWire::send(std::int64_t readyAt, int baud, int bitsPerCharacter)
{
    const std::int64_t busyUntil = freeAt();
    const bool continuesRun =
        m_runLength > 0 && readyAt < busyUntil && baud == m_baud && bitsPerCharacter == m_bits;
    if (continuesRun) {
        ++m_runLength;
    } else {
        m_runStart = std::max(readyAt, busyUntil);
        m_runLength = 1;
        m_baud = baud;
        m_bits = bitsPerCharacter;
    }
    return freeAt();
}

} // namespace quorlink::sim
