#include "data/rowwrite.h"

#include "base/dataerror.h"
#include "base/guarded.h"
#include "data/dataset.h"

#include <exception>

RowWrite::RowWrite(Dataset* dataset, Kind kind) : m_dataset(dataset)
{
    if (kind == Kind::Append)
        m_dataset->append();
    else
        m_dataset->edit();
}

RowWrite::~RowWrite()
{
    if (m_posted || !m_dataset->isActive() || m_dataset->state() == Dataset::State::Browse)
        return;
    // Unwinding already: dropping the edit buffer is all that is left to do.
    try {
        m_dataset->cancel();
    } catch (...) {
    }
}

void RowWrite::post()
{
    m_dataset->post();
    m_posted = true;
}

void rethrowAfterReload(Dataset* dataset)
{
    const std::exception_ptr failure = std::current_exception();
    try {
        dataset->refresh();
    } catch (const std::exception& reload) {
        QString text;
        DataError::Kind kind = DataError::Kind::Failure;
        try {
            std::rethrow_exception(failure);
        } catch (const DataError& e) {
            text = e.message();
            kind = e.kind();
        } catch (const std::exception& e) {
            text = reasonOf(e);
        } catch (...) {
        }
        throw DataError(text + QStringLiteral("\n表格未能重新读取：") + reasonOf(reload), kind);
    }
    std::rethrow_exception(failure);
}
