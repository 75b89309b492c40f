#include "parityinference.h"

#include "link/protocol.h"

namespace quorlink::sim {

namespace protocol = link::protocol;

namespace {

constexpr std::uint8_t HighestDataByte = 0x7F;

bool isAddressByte(std::uint8_t value)
{
    return value > HighestDataByte;
}

} // namespace

QList<ParityInference::Piece> ParityInference::feed(const QByteArray& bytes)
{
    QList<Piece> pieces;
    for (const char byte : bytes)
        onByte(pieces, static_cast<std::uint8_t>(byte));
    return pieces;
}

void ParityInference::put(QList<Piece>& pieces, std::uint8_t value, Parity parity)
{
    if (pieces.isEmpty() || pieces.last().parity != parity)
        pieces.append({QByteArray(), parity});
    pieces.last().bytes.append(static_cast<char>(value));
}

void ParityInference::onByte(QList<Piece>& pieces, std::uint8_t value)
{
    const QLatin1String signature = protocol::ResetSignature;
    if (!m_addressPhase) {
        const bool continuesSignature =
            m_held.size() < signature.size() &&
            value == static_cast<std::uint8_t>(signature[m_held.size()].toLatin1());
        if (continuesSignature) {
            m_held.append(static_cast<char>(value));
            return;
        }
        // Decided: a complete signature before an address was mark, anything else data.
        const Parity heldParity = m_held.size() == signature.size() && isAddressByte(value)
                                      ? Parity::Mark
                                      : Parity::Space;
        const QByteArray held = std::exchange(m_held, {});
        for (const char heldByte : held)
            put(pieces, static_cast<std::uint8_t>(heldByte), heldParity);
        // A broken-off run may itself be followed by a new signature.
        if (!isAddressByte(value) && value == static_cast<std::uint8_t>(signature[0].toLatin1())) {
            m_held.append(static_cast<char>(value));
            return;
        }
    }

    if (m_commandNext) {
        m_commandNext = false;
        put(pieces, value, Parity::Mark);
    } else if (isAddressByte(value)) {
        m_addressPhase = true;
        m_commandNext = true;
        put(pieces, value, Parity::Mark);
    } else if (!m_addressPhase) {
        put(pieces, value, Parity::Space);
    } else if (value == protocol::EndOfAddressPhase) {
        m_addressPhase = false;
        put(pieces, value, Parity::Space);
    } else {
        put(pieces, value, Parity::Mark);
    }
}

} // namespace quorlink::sim
