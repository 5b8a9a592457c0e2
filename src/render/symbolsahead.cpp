#include "render/symbolsahead.h"

#include <QThreadPool>
#include <memory>

SymbolsAhead::~SymbolsAhead()
{
    for (Pending& p : m_pending)
        p.row.wait();
}

void SymbolsAhead::encode(const QVector<Request>& row)
{
    if (row.isEmpty())
        return;
    auto task = std::make_shared<std::packaged_task<Symbols()>>([row] {
        Symbols symbols;
        for (const Request& r : row)
            symbols << BarcodePainter::encode(r.kind, r.value);
        return symbols;
    });
    const std::shared_future<Symbols> done = task->get_future().share();
    for (int i = 0; i < row.size(); ++i)
        m_pending.push_back({row.at(i), done, i});
    QThreadPool::globalInstance()->start([task] { (*task)(); });
}

std::optional<BarcodePainter::Symbol> SymbolsAhead::take(FieldSymbol kind, const QString& value)
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->request.kind != kind || it->request.value != value)
            continue;
        std::optional<BarcodePainter::Symbol> symbol = it->row.get().at(it->index);
        m_pending.erase(it);
        return symbol;
    }
    return BarcodePainter::encode(kind, value);
}
