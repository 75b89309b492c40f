#include "language.h"

namespace quorlink::firmware {

QString languageCodeOf(const QString& versionText)
{
    const qsizetype v = versionText.indexOf(QLatin1String("ver"), 0, Qt::CaseInsensitive);
    if (v < 0)
        return {};
    return versionText.mid(v + 8, 2);
}

} // namespace quorlink::firmware
