#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The bytes and texts of the serial protocol spoken with the switch's cards.
// Shared by the link operations and by the simulated switch.
namespace quorlink::link::protocol {

// Line settings: mark parity selects a card or carries a command, space
// parity carries data. The port rests in the data setting.
inline constexpr QLatin1String AddressSettings{"19200,m,8,1"};
inline constexpr QLatin1String DataSettings{"19200,s,8,1"};

inline constexpr int BaudRate = 19200;
// Start bit, 8 data bits, parity bit, stop bit.
inline constexpr int BitsPerCharacter = 11;
// Time one character occupies the wire, in microseconds (about 573).
inline constexpr double CharacterTimeMicroseconds = 1e6 * BitsPerCharacter / BaudRate;

inline constexpr int ManagementCard = 1;
inline constexpr int FirstRemoteCard = 2;
inline constexpr int LastRemoteCard = 64;
inline constexpr int RemoteCardCount = 64;  // the highest card number

inline constexpr std::uint8_t AddressBase = 0x80;
inline constexpr std::uint8_t AllRemoteCardsAddress = 0xFF;

// 0x80 + card number, computed as a 16-bit sum and narrowed to a byte.
constexpr std::uint8_t addressByte(int card)
{
    return static_cast<std::uint8_t>(static_cast<std::int16_t>(AddressBase + card) & 0xFF);
}

inline constexpr std::uint8_t FirmwareVersionCommand = 0x10;
inline constexpr std::uint8_t HardwareVersionCommand = 0x12;
inline constexpr std::uint8_t DownloadCommand = 0x11;
inline constexpr std::uint8_t ResetCommand = 0xFB;
// Written under space parity to end every address phase.
inline constexpr std::uint8_t EndOfAddressPhase = 0x00;

// Ends a version reply; not part of the text.
inline constexpr std::uint8_t ReplyTerminator = 0xFF;
// "R": ready for a download, or a reset acknowledged.
inline constexpr std::uint8_t Ready = 0x52;
inline constexpr std::uint8_t RecordAccepted = 0x06;
inline constexpr std::uint8_t RecordRefused = 0x15;
inline constexpr std::uint8_t DownloadAborted = 0x18;

// Seven upper-case letters written under mark parity before every reset
// address byte, so that a stray 0xFB cannot restart a card.
inline constexpr QLatin1String ResetSignature{"QLRESET"};

// Always sent as the last record of a download, whatever the file holds.
inline constexpr QLatin1String EndRecord{":00000001FF"};
inline constexpr int RecordLength = 77;

// The reply of a card that the switch knows to be absent.
inline constexpr QLatin1String NotResponding{"Not responding"};

} // namespace quorlink::link::protocol
