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
// Its kind says how to show it; nobody reads the kind off the text.
class DataError : public std::runtime_error
{
public:
    enum class Kind {
        Failure, // a statement or the system failed: the message is its reason
        Refusal, // the program's own complete message, shown as it stands
        Stopped, // a termination signal ended the work; nothing was saved
    };

    explicit DataError(const QString& message, Kind kind = Kind::Failure)
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind)
    {
    }
    static DataError refusal(const QString& message) { return DataError(message, Kind::Refusal); }

    QString message() const { return m_message; }
    Kind kind() const { return m_kind; }

private:
    QString m_message;
    Kind m_kind;
};
