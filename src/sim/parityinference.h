#pragma once

#include "platform/serialdevice.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace quorlink::sim {

// A pseudo-terminal carries eight bits per byte and no parity bit, yet the
// cards tell address bytes (mark parity) from data (space parity) by that
// bit. The simulator behind a pseudo-terminal recovers it from the protocol,
// which needs nothing from the PC's side:
// - bytes 0x80 and above occur only as addresses (record text is ASCII hex):
//   such a byte is mark and opens the address phase;
// - the byte right after an address is its command (0x10, 0x11, 0x12 or
//   0xFB): mark;
// - in the address phase, 0x00 is space and ends the phase; other bytes (the
//   reset signature before a further address) are mark;
// - outside it everything is data (space), except the reset signature
//   "QLRESET", which precedes an address: a run of bytes that could begin it
//   is held back until the next byte decides. Followed by an address, the
//   whole signature was mark; otherwise the run was data. Records never hold
//   a "Q", so data is never held back in practice.
class ParityInference
{
public:
    struct Piece
    {
        QByteArray bytes;
        Parity parity = Parity::Space;
        friend bool operator==(const Piece&, const Piece&) = default;
    };

    // The bytes read from the pseudo-terminal, in order, as runs of one
    // parity. Bytes held back come out with a later call.
    QList<Piece> feed(const QByteArray& bytes);

    // Bytes held back as a possible reset signature.
    qsizetype heldBack() const { return m_held.size(); }

private:
    void put(QList<Piece>& pieces, std::uint8_t value, Parity parity);
    void onByte(QList<Piece>& pieces, std::uint8_t value);

    bool m_addressPhase = false;
    bool m_commandNext = false;
    QByteArray m_held;
};

} // namespace quorlink::sim
