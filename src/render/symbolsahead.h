#pragma once

#include "render/barcodepainter.h"

#include <QString>
#include <QVector>
#include <deque>
#include <future>
#include <optional>

// The symbols of the rows a job draws next, encoded on other threads while
// this one draws: encoding a QR code (choosing its mask) costs more than
// drawing it. Symbols are asked for in the order they were handed in.
class SymbolsAhead
{
public:
    struct Request {
        FieldSymbol kind;
        QString value;
    };
    using Symbols = QVector<std::optional<BarcodePainter::Symbol>>;

    SymbolsAhead() = default;
    SymbolsAhead(const SymbolsAhead&) = delete;
    SymbolsAhead& operator=(const SymbolsAhead&) = delete;
    // Waits for what is still being encoded: its threads use nothing of ours
    // but the values they were given.
    ~SymbolsAhead();

    // Starts encoding the symbols of one row, as one task.
    void encode(const QVector<Request>& row);
    // The symbol started for `kind` and `value`, once it is done; else it
    // is encoded now. Nothing when the value cannot be encoded.
    std::optional<BarcodePainter::Symbol> take(FieldSymbol kind, const QString& value);
    int pending() const { return int(m_pending.size()); }

private:
    struct Pending {
        Request request;
        std::shared_future<Symbols> row;
        int index;
    };
    std::deque<Pending> m_pending;
};
