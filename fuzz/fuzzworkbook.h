#pragma once

#include <cstddef>
#include <cstdint>

// Writes DATA to a scratch file ending in .EXTENSION, opens it through
// WorkbookReader and reads every cell of every sheet's used range, up to a
// bound that keeps one input quick.
int fuzzWorkbook(const char* extension, const uint8_t* data, size_t size);
