#pragma once

#include <QString>

namespace quorlink::firmware {

// The on-screen display language of a firmware image, as its version text
// carries it: the two characters that begin eight after the "v" of the first
// "ver" (any letter case), as in "QLMGR ver2.31 US". Empty when the text has
// no "ver"; shorter when the text ends early.
QString languageCodeOf(const QString& versionText);

} // namespace quorlink::firmware
