#pragma once

#include <QString>

namespace quorlink {

// The folder of firmware files the Open dialog starts in: "Firmware Update"
// beside the program (the build folder, a copy unpacked on Windows) or, for a
// program installed as bin/Update, share/varnex-quorlink/Firmware Update under
// the same prefix (/usr, /usr/local, a Debian package). The folder beside the
// program wins when both exist; when neither does, the one beside the program
// is named all the same.
QString firmwareFolder(const QString& programFolder);

// The same for the running program.
QString firmwareFolder();

} // namespace quorlink
