#include "simulatedcard.h"

#include "imageversion.h"
#include "link/protocol.h"

#include <algorithm>

namespace quorlink::sim {

namespace protocol = link::protocol;

namespace {

QByteArray takeFirstOr(QList<QByteArray>& script, QByteArray fallback)
{
    if (script.isEmpty())
        return fallback;
    return script.takeFirst();
}

} // namespace

SimulatedCard& SimulatedCard::setPresent(bool present)
{
    m_present = present;
    return *this;
}

SimulatedCard& SimulatedCard::setFirmwareVersion(const QString& text)
{
    m_firmwareVersion = text;
    return *this;
}

SimulatedCard& SimulatedCard::setHardwareVersion(const QString& text)
{
    m_hardwareVersion = text;
    return *this;
}

SimulatedCard& SimulatedCard::setNotResponding(bool notResponding)
{
    m_notResponding = notResponding;
    return *this;
}

SimulatedCard& SimulatedCard::setSilent(bool silent)
{
    m_silent = silent;
    return *this;
}

SimulatedCard& SimulatedCard::setReplyDelay(int milliseconds)
{
    m_replyDelayMs = std::max(0, milliseconds);
    return *this;
}

SimulatedCard& SimulatedCard::setSplitReply(int firstBytes, int gapMilliseconds)
{
    m_splitAfterBytes = std::max(0, firstBytes);
    m_splitGapMs = std::max(0, gapMilliseconds);
    return *this;
}

SimulatedCard& SimulatedCard::setTrailingBytes(const QByteArray& bytes)
{
    m_trailingBytes = bytes;
    return *this;
}

SimulatedCard& SimulatedCard::scriptReadyReplies(const QList<QByteArray>& replies)
{
    m_readyReplies.append(replies);
    return *this;
}

SimulatedCard& SimulatedCard::scriptResetReplies(const QList<QByteArray>& replies)
{
    m_resetReplies.append(replies);
    return *this;
}

SimulatedCard& SimulatedCard::scriptRecordAnswers(int record, const QList<Answer>& answers)
{
    m_recordAnswers[record].append(answers);
    return *this;
}

SimulatedCard& SimulatedCard::delayRecordAnswers(int record, const QList<int>& milliseconds)
{
    m_recordDelays[record].append(milliseconds);
    return *this;
}

int SimulatedCard::recordAnswerDelayMilliseconds(int record)
{
    const auto script = m_recordDelays.find(record);
    if (script == m_recordDelays.end() || script->second.isEmpty())
        return 0;
    return std::max(0, script->second.takeFirst());
}

// Version texts travel one byte per character, ended by 0xFF.
QByteArray SimulatedCard::versionReply(std::uint8_t command) const
{
    QString text =
        command == protocol::HardwareVersionCommand ? m_hardwareVersion : m_firmwareVersion;
    if (m_notResponding)
        text = protocol::NotResponding;
    QByteArray reply = text.toLatin1();
    reply.append(static_cast<char>(protocol::ReplyTerminator));
    reply.append(m_trailingBytes);
    return reply;
}

QByteArray SimulatedCard::nextReadyReply()
{
    return takeFirstOr(m_readyReplies, QByteArray(1, static_cast<char>(protocol::Ready)));
}

QByteArray SimulatedCard::nextResetReply()
{
    return takeFirstOr(m_resetReplies, QByteArray(1, static_cast<char>(protocol::Ready)));
}

Answer SimulatedCard::answerRecord(int record)
{
    const auto script = m_recordAnswers.find(record);
    if (script == m_recordAnswers.end() || script->second.isEmpty())
        return protocol::RecordAccepted;
    return script->second.takeFirst();
}

// A stored image that carries a version record changes what the card
// reports; the management card receives two images and only one of them
// needs to carry the version.
void SimulatedCard::acceptImage(const QStringList& records)
{
    m_images.append(records);
    if (const std::optional<QString> version = versionTextOfImage(records))
        m_firmwareVersion = *version;
}

} // namespace quorlink::sim
