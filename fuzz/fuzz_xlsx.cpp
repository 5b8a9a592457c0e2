// libFuzzer entry: any bytes as a .xlsx file.
#include "fuzzworkbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzWorkbook("xlsx", data, size);
}
