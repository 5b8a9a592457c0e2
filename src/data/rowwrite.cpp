#include "data/rowwrite.h"

#include "base/dataerror.h"
#include "base/guarded.h"
#include "data/dataset.h"

#include <exception>

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
