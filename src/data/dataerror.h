#pragma once

#include <QString>
#include <stdexcept>

// An error of the data layer (a missing column, a failed statement). Windows
// catch it at the handler and show its message; the operation stops there.
class DataError : public std::runtime_error
{
public:
    explicit DataError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};
