// The record behind one row of the conversion list, the status texts shown for it, the duration text and
// the rule by which newly found files join the list.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Index into the status table; the list shows StatusText of it.
enum TFileStatus : int {
    fsProcessing = 0,
    fsFailed = 1,
    fsSkipped = 2,
    fsCanceled = 3,
    fsDone = 4,
    fsReady = 5,
};

struct TFilesItem {
    std::string name;      // file name without folder and last extension
    std::string path;      // the path as it was passed in: the row's identity and the conversion's input
    std::string format;    // the source's GetFormatText
    std::string duration;  // FormatDuration of the source's GetDuration
    int status = fsReady;

    bool operator==(const TFilesItem&) const = default;
};

// "Processing...", "Failed!", "Skipped", "Canceled", "Done!", "Ready"; the empty text for any other index.
const char* StatusText(int status);

// Whole seconds as "%.2d:%.2d:%.2d" (hours grow past two digits). A negative duration is a length the
// source could not tell and shows as "--:--:--".
std::string FormatDuration(int seconds);

// The name column of a path: the part after the last "/" without its last extension.
std::string ItemName(const std::string& path);

// Appends to `rows` a copy of every pending record whose path (compared exactly, case-sensitive) is not in
// `rows` yet, in pending order; records added earlier in the same pass count as present. Returns how many
// rows were appended; the pending list itself is left as it was.
std::size_t AppendNewItems(const std::vector<TFilesItem>& pending, std::vector<TFilesItem>& rows);
