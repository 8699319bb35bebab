// Cue sheet reading; see cue_sheet.h.
#include "platform/basscd/cue_sheet.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace basscd {
namespace {

constexpr size_t kMaxSheetBytes = 1 << 20;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Splits a line into blank-separated words; a word in double quotes may hold blanks. False for an
// unterminated quote.
bool Tokenise(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        if (line[i] == '"') {
            const size_t end = line.find('"', i + 1);
            if (end == std::string::npos) return false;
            words.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

bool AllDigits(const std::string& text, size_t minLength, size_t maxLength) {
    if (text.size() < minLength || text.size() > maxLength) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// mm:ss:ff (minutes, seconds, frames of 1/75 s) as a sector count; -1 when malformed.
long ParseTime(const std::string& text) {
    const size_t a = text.find(':');
    const size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    if (b == std::string::npos) return -1;
    const std::string mm = text.substr(0, a), ss = text.substr(a + 1, b - a - 1), ff = text.substr(b + 1);
    if (!AllDigits(mm, 1, 3) || !AllDigits(ss, 2, 2) || !AllDigits(ff, 2, 2)) return -1;
    const long m = std::stol(mm), s = std::stol(ss), f = std::stol(ff);
    if (s >= 60 || f >= 75) return -1;
    return (m * 60 + s) * 75 + f;
}

std::string FormatTime(long sectors) {
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", sectors / 4500, sectors / 75 % 60, sectors % 75);
    return text;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where the BIN of a sheet in `folder` is looked for: the sheet's folder or one below it. A sheet may come
// from anywhere (a download, a shared disk), and its FILE line must not make the program read some other file
// of the user's as audio; an absolute name or one climbing out of the folder keeps only its last component,
// which is also where an image moved together with its sheet lies.
std::string BinPathIn(const std::string& folder, const std::string& name) {
    const std::filesystem::path written = std::filesystem::path(name).lexically_normal();
    const bool inside = written.is_relative() && !written.empty() && *written.begin() != "..";
    const std::string relative = inside ? written.string() : std::filesystem::path(name).filename().string();
    return folder + "/" + relative;
}

std::optional<CueSheet> Refuse(std::string& error, const std::string& why) {
    error = why;
    return std::nullopt;
}

}  // namespace

std::optional<CueSheet> ParseCueSheet(const std::string& textIn, const std::string& folder,
                                      std::string& error) {
    std::string text = textIn;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // editors on other systems add it
    if (text.find('\0') != std::string::npos) return Refuse(error, "not a cue sheet (binary data)");

    CueSheet sheet;
    bool haveFile = false;
    long lastTime = 0;   // every index lies at or after the one before
    int lastIndex = -1;  // index numbers rise within a track
    std::vector<std::string> words;
    size_t start = 0;
    int lineNumber = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const std::string where = " (line " + std::to_string(lineNumber) + ")";
        if (!Tokenise(line, words)) return Refuse(error, "unterminated quote" + where);
        if (words.empty()) continue;
        const std::string keyword = Upper(words[0]);

        if (keyword == "FILE") {
            if (haveFile) return Refuse(error, "several FILE lines: only single-file images are read");
            if (words.size() != 3) return Refuse(error, "malformed FILE line" + where);
            const std::string type = Upper(words[2]);
            if (type != "BINARY") return Refuse(error, "file type " + type + " is not read, only BINARY");
            std::string name = words[1];
            for (char& c : name)
                if (c == '\\') c = '/';  // sheets written on Windows
            if (name.empty()) return Refuse(error, "empty file name" + where);
            sheet.binPath = BinPathIn(folder, name);
            haveFile = true;
        } else if (keyword == "TRACK") {
            if (!haveFile) return Refuse(error, "TRACK before FILE" + where);
            if (words.size() != 3 || !AllDigits(words[1], 1, 2))
                return Refuse(error, "malformed TRACK line" + where);
            const int number = std::stoi(words[1]);
            if (number < 1) return Refuse(error, "track number 0" + where);
            if (!sheet.tracks.empty()) {
                if (sheet.tracks.back().index1 < 0) return Refuse(error, "track without INDEX 01" + where);
                if (number != sheet.tracks.back().number + 1)
                    return Refuse(error, "tracks out of order" + where);
            }
            CueTrack track;
            track.number = number;
            track.mode = Upper(words[2]);
            if (track.mode == "AUDIO") {
                track.audio = true;
            } else if (track.mode == "MODE1/2352" || track.mode == "MODE2/2352") {
                track.audio = false;
            } else {
                return Refuse(error, "track mode " + track.mode + " is not read" + where);
            }
            sheet.tracks.push_back(track);
            lastIndex = -1;
        } else if (keyword == "INDEX") {
            if (sheet.tracks.empty()) return Refuse(error, "INDEX outside a track" + where);
            if (words.size() != 3 || !AllDigits(words[1], 1, 2))
                return Refuse(error, "malformed INDEX line" + where);
            const int index = std::stoi(words[1]);
            const long time = ParseTime(words[2]);
            if (time < 0) return Refuse(error, "malformed time " + words[2] + where);
            if (index <= lastIndex || (lastIndex < 0 && index > 1))
                return Refuse(error, "indexes out of order" + where);
            if (time < lastTime) return Refuse(error, "index before the one preceding it" + where);
            CueTrack& track = sheet.tracks.back();
            if (index == 0) track.index0 = time;
            if (index == 1) {
                // Every track holds at least one sector.
                if (sheet.tracks.size() > 1 && time <= sheet.tracks[sheet.tracks.size() - 2].index1)
                    return Refuse(error, "track without sectors" + where);
                track.index1 = time;
            }
            lastIndex = index;
            lastTime = time;
        } else if (keyword == "PREGAP" || keyword == "POSTGAP") {
            if (sheet.tracks.empty() || words.size() != 2 || ParseTime(words[1]) < 0)
                return Refuse(error, "malformed " + keyword + " line" + where);
        }
        // REM, TITLE, PERFORMER, CATALOG, ISRC, FLAGS, CDTEXTFILE and the like say nothing about the audio.
    }
    if (!haveFile) return Refuse(error, "no FILE line");
    if (sheet.tracks.empty()) return Refuse(error, "no tracks");
    if (sheet.tracks.back().index1 < 0) return Refuse(error, "track without INDEX 01");
    return sheet;
}

std::optional<CueSheet> LoadCueSheet(const std::string& path, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return Refuse(error, "cannot open the cue sheet");
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) return Refuse(error, "not a file");
    if (static_cast<unsigned long long>(st.st_size) > kMaxSheetBytes)
        return Refuse(error, "cue sheet too large");
    std::string text(static_cast<size_t>(st.st_size), '\0');
    if (!text.empty() && std::fread(text.data(), 1, text.size(), file.get()) != text.size())
        return Refuse(error, "cannot read the cue sheet");

    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "" : path.substr(0, slash);
    auto sheet = ParseCueSheet(text, folder, error);
    if (!sheet) return std::nullopt;
    if (!IsRegularFile(sheet->binPath)) {
        // Images are often moved together with their sheet, which may still name the old folder.
        const size_t last = sheet->binPath.rfind('/');
        const std::string beside = folder + "/" + sheet->binPath.substr(last + 1);
        if (!IsRegularFile(beside)) return Refuse(error, "the image's BIN file is missing");
        sheet->binPath = beside;
    }
    return sheet;
}

std::string NormalisedCueText(const CueSheet& sheet, const std::string& binName) {
    std::string text = "FILE \"" + binName + "\" BINARY\n";
    for (const CueTrack& track : sheet.tracks) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", track.number);
        text += "  TRACK " + std::string(number) + " " + track.mode + "\n";
        if (track.index0 >= 0) text += "    INDEX 00 " + FormatTime(track.index0) + "\n";
        text += "    INDEX 01 " + FormatTime(track.index1) + "\n";
    }
    return text;
}

}  // namespace basscd
