#include "guarded.h"

#include "dataerror.h"
#include "prompt.h"

#include <exception>

bool guarded(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const DataError& e) {
        prompt().error(e.message());
    } catch (const std::exception& e) {
        prompt().error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
