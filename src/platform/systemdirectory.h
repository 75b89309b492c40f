#pragma once

#include <QString>

namespace quorlink {

// The folder that holds update.ini, the single-instance locks and the
// working copy of a firmware file, without a trailing separator and with '/'
// separators, created when missing. On Windows it is the Windows directory;
// elsewhere the user's configuration folder ".../VarnexQuorlink" (shared by
// both programs). The environment variable QUORLINK_SYSTEM_DIR, when set,
// names the folder instead (tests, portable use). When files cannot be made
// in that folder (a standard user and the Windows directory), the user's
// folder ".../VarnexQuorlink" takes its place.
QString systemDirectory();

// The Windows directory as the API leaves it in a buffer pre-filled with
// spaces: the spaces are trimmed, then one trailing control character (the
// terminating NUL) is dropped.
QString windowsDirectoryFromBuffer(const QString& buffer);

} // namespace quorlink
