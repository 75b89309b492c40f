#pragma once

#include <QString>

#include <functional>

namespace quorlink {

// What the file system says about a device node, asked when a port could not
// be opened so that the user learns why. Replaceable in tests: the test suite
// runs as root, for whom every permission check passes.
struct DeviceAccess
{
    // The node exists (devices without a path, "COM3" on Windows, count as existing).
    std::function<bool(const QString& device)> exists;
    // This user may read and write it.
    std::function<bool(const QString& device)> mayOpen;
    // The group owning the node ("dialout" on most Linux systems), empty when unknown.
    std::function<QString(const QString& device)> owningGroup;

    static DeviceAccess system();
};

} // namespace quorlink
