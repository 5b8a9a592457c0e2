#pragma once

// How errors travel, one rule per layer:
// - the data layer (datasets, statements, schema, stores) throws DataError
//   carrying the reason;
// - readers and writers of files and answers return a result (false, a
//   null reader, a result struct) together with the reason;
// - windows and commands show the program's own first line and the reason
//   on a second line (withReason in guarded.h), or run the step under
//   guarded(). Whoever catches an error or receives a reason passes it on:
//   it is never dropped.

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
