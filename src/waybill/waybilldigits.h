#pragma once

#include <QStringView>

// Digit-buffer steps shared by the public rules and the planner, which keeps
// one buffer per series instead of a string per step.
namespace WaybillDigits
{

constexpr int SfLength = 12;
constexpr int EmsLength = 9;

enum class Step { Next, EndOfSeries, OutOfRange };

// True when s is non-empty and holds only the ASCII digits 0 to 9.
bool isDigits(QStringView s);

// Copies the digits of s (already checked with isDigits) into buffer.
void toDigits(QStringView s, char* buffer);

// Advance SfLength ASCII digits in place to the next SF number; on any
// result but Next the buffer is left as it was.
Step advanceSf(char* digits);

// Advance EmsLength ASCII digits in place to the next EMS number; on
// OutOfRange the buffer is left as it was.
Step advanceEms(char* digits);

} // namespace WaybillDigits
