// Row record helpers of the conversion list.
#include "wvt/filesitem.h"

#include <cstdio>
#include <unordered_set>

const char* StatusText(int status) {
    static const char* const kTexts[] = {"Processing...", "Failed!", "Skipped", "Canceled", "Done!", "Ready"};
    if (status < 0 || status >= static_cast<int>(std::size(kTexts))) return "";
    return kTexts[status];
}

std::string FormatDuration(int seconds) {
    if (seconds < 0) return "--:--:--";
    const int h = seconds / 3600;
    const int r = seconds % 3600;
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", h, r / 60, r % 60);
    return text;
}

std::string ItemName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::size_t AppendNewItems(const std::vector<TFilesItem>& pending, std::vector<TFilesItem>& rows) {
    // A set instead of walking every row per record: folder scans can bring tens of thousands of files.
    std::unordered_set<std::string> present;
    present.reserve(rows.size() + pending.size());
    for (const TFilesItem& row : rows) present.insert(row.path);
    std::size_t appended = 0;
    for (const TFilesItem& item : pending) {
        if (!present.insert(item.path).second) continue;
        rows.push_back(item);
        ++appended;
    }
    return appended;
}
