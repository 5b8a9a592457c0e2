#include "render/symbolsahead.h"

#include <QThreadPool>
#include <memory>

SymbolsAhead::~SymbolsAhead()
{
    for (Pending& p : m_pending)
        p.symbol.wait();
}

void SymbolsAhead::encode(FieldSymbol kind, const QString& value)
{
    using Task = std::packaged_task<std::optional<BarcodePainter::Symbol>()>;
    auto task =
        std::make_shared<Task>([kind, value] { return BarcodePainter::encode(kind, value); });
    m_pending.push_back({kind, value, task->get_future()});
    QThreadPool::globalInstance()->start([task] { (*task)(); });
}

std::optional<BarcodePainter::Symbol> SymbolsAhead::take(FieldSymbol kind, const QString& value)
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->kind != kind || it->value != value)
            continue;
        std::optional<BarcodePainter::Symbol> symbol = it->symbol.get();
        m_pending.erase(it);
        return symbol;
    }
    return BarcodePainter::encode(kind, value);
}
