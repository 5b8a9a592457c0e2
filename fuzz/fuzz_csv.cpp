// libFuzzer entry: any bytes as a .csv file.
#include "fuzzworkbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzWorkbook("csv", data, size);
}
