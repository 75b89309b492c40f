#pragma once

#include <QString>

#include <stdexcept>

namespace quorlink {

// The one exception type for the run-time errors of the system (a port that
// is missing or gone, a file that cannot be read). Handlers catch it exactly
// where the operations recover; nothing lets it reach the event loop.
class RuntimeError : public std::runtime_error
{
public:
    // Error numbers follow the classic run-time error numbers where the
    // program's behaviour depends on them (53 = file not found).
    enum Code : int {
        FileNotFound = 53,
        InputPastEnd = 62,
        PathAccess = 75,
        InvalidProperty = 380,
        InvalidPortNumber = 8002,
        PortAlreadyOpen = 8005,
        PortNotOpen = 8012,
        DeviceUnavailable = 8015,
        DeviceIo = 8020,
    };

    RuntimeError(int code, const QString& message)
        : std::runtime_error(message.toStdString()), m_code(code), m_message(message)
    {
    }

    int code() const noexcept { return m_code; }
    const QString& message() const noexcept { return m_message; }

private:
    int m_code;
    QString m_message;
};

} // namespace quorlink
