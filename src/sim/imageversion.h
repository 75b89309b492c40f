#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quorlink::sim {

// The version text a card takes from a stored image: that of the first record
// loading address 0x2FDF, read as the program reads it from a file. nullopt
// when the image has no such record.
std::optional<QString> versionTextOfImage(const QStringList& records);

} // namespace quorlink::sim
