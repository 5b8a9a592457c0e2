#pragma once

#include <QString>

// The carriers' numbering rules. Each takes the current number without prefix
// and suffix and returns the one that follows it. An empty result means the
// current number has no successor under that rule (or is not a number the
// rule reads); planWaybills() tells those cases apart for the user.

// SF Express: 11-digit serial plus one, leading zeros kept, and a check digit
// derived from the current one. No successor when the serial digits d4 … d11
// are all 9 (the check-digit table has no entry) or the serial is 99999999999.
QString get_SfBill(const QString& current);

// China Post EMS: 8-digit serial plus one, leading zeros kept, followed by its
// UPU S10 check digit. No successor past serial 99999999.
QString get_EmsBill(const QString& current);

// Any other carrier: current + increment in decimal, without leading zeros.
// Empty when current is not a run of decimal digits or the sum leaves the
// signed 64-bit range.
QString get_CommonBill(const QString& current, int increment);
