// The console's progress line: one line on a terminal, redrawn in place, with the overall percentage, the
// files done, the elapsed and remaining time and the name of a file being converted.
#pragma once

#include <string>

struct ProgressFacts {
    double percent = 0;  // 0..100
    int filesDone = 0;   // files that have a final status
    int filesTotal = 0;
    double elapsedSeconds = 0;
    std::string current;  // a file being converted; empty when none is
};

// "M:SS", or "H:MM:SS" from an hour on.
std::string FormatClock(double seconds);

// The line for `facts`, at most `width` columns wide (the file name is shortened to fit). The remaining
// time is estimated from the elapsed time and the percentage, once there is something to go by.
std::string FormatProgressLine(const ProgressFacts& facts, int width);

// Columns of the terminal on `fd`; 80 when it does not say.
int TerminalWidth(int fd);
