#include "imageversion.h"

#include "firmware/hexrecord.h"

namespace quorlink::sim {

std::optional<QString> versionTextOfImage(const QStringList& records)
{
    for (const QString& record : records) {
        if (firmware::isEndRecord(record))
            continue;
        const QString decoded = firmware::descrambleRecord(record);
        if (decoded.isEmpty())
            continue;
        if (std::optional<QString> version = firmware::versionTextOf(decoded))
            return version;
    }
    return std::nullopt;
}

} // namespace quorlink::sim
