#pragma once

#include <QString>

namespace quorlink {

// The folders the Open dialog starts in. Real firmware goes in "Firmware
// Update", the made-up sample files for the simulated switch in "samples",
// so that a dialog opened on a real port never offers a sample. Each folder
// is looked for beside the program (the build folder, a copy unpacked on
// Windows) and then, for a program installed as bin/Update, in
// share/varnex-quorlink/ under the same prefix (/usr, /usr/local, a Debian
// package). The folder beside the program wins when both exist; when neither
// does, the one beside the program is named all the same.
QString firmwareFolder(const QString& programFolder);
QString sampleFolder(const QString& programFolder);

// The same for the running program.
QString firmwareFolder();
QString sampleFolder();

} // namespace quorlink
