#pragma once

// How a command of the command line ends: its process exit status. The
// values are what scripts test, so they never change. A plain enum, so that
// a status still reads as the number it is.
namespace ExitCode
{
enum Code : int {
    Done = 0,   // done
    Failed = 1, // refused or failed; the message says why
    Usage = 2,  // wrong usage; the usage line was shown
};
} // namespace ExitCode
