// Progress line formatting for wavetrove-cli.
#include "tools/cli_progress.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Code points of UTF-8 text, which is what a terminal shows (wide characters aside).
size_t Columns(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// The last `columns` code points of `text`, so a long name keeps its distinctive end (the title and the
// extension), marked with a leading "...".
std::string KeepEnd(const std::string& text, size_t columns) {
    if (Columns(text) <= columns) return text;
    if (columns <= 3) return std::string(columns, '.');
    size_t keep = columns - 3, at = text.size();
    while (at > 0 && keep > 0) {
        --at;
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) --keep;
    }
    return "..." + text.substr(at);
}

}  // namespace

std::string FormatClock(double seconds) {
    if (!(seconds >= 0) || seconds > 359999) seconds = 0;
    const long total = std::lround(seconds);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string FormatProgressLine(const ProgressFacts& facts, int width) {
    const double percent = std::clamp(facts.percent, 0.0, 100.0);
    // A first estimate from less than a percent or a second swings too much to be worth showing.
    const bool canEstimate = percent >= 1.0 && facts.elapsedSeconds >= 1.0;
    const std::string left =
        canEstimate ? FormatClock(facts.elapsedSeconds * (100.0 - percent) / percent) : std::string("-:--");
    char head[160];
    std::snprintf(head, sizeof head, "%3d%%  %d/%d files  %s elapsed  %s left", static_cast<int>(percent),
                  facts.filesDone, facts.filesTotal, FormatClock(facts.elapsedSeconds).c_str(), left.c_str());
    std::string line = head;
    if (width < 1) width = 1;
    if (Columns(line) >= static_cast<size_t>(width)) return line.substr(0, static_cast<size_t>(width - 1));
    if (!facts.current.empty()) {
        // One column stays free: writing into the last one makes some terminals wrap.
        const size_t room = static_cast<size_t>(width) - 1 - Columns(line);
        if (room > 5) line += "  " + KeepEnd(facts.current, room - 2);
    }
    return line;
}

int TerminalWidth(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}
