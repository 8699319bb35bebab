// M3U and PLS reading for the file intake.
#include "wvt/playlist.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Larger files are no playlists; reading them whole would only exhaust memory.
constexpr std::uintmax_t kMaxPlaylistBytes = 64u << 20;

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(const std::string& bytes, size_t start, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](size_t i) -> char16_t {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0));
    };
    constexpr char32_t kReplacement = 0xFFFD;
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 3 < bytes.size()) {
                const char16_t low = unit(i + 2);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(low) - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            AppendUtf8(out, kReplacement);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

bool ReadWhole(const std::string& file, std::string& bytes) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return false;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > kMaxPlaylistBytes) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Lines end at CR LF, LF or a lone CR.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::string ForwardSlashes(std::string entry) {
    std::replace(entry.begin(), entry.end(), '\\', '/');
    return entry;
}

// The playlist's folder with its trailing delimiter; relative entries resolve against it.
std::string PlaylistFolder(const std::string& playlist) {
    std::error_code error;
    fs::path full = fs::absolute(playlist, error);
    if (error) full = playlist;
    std::string folder = full.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool IsExistingFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Keys of one INI section, lower-cased; the first occurrence of a key wins as with the Windows profile
// functions, and a value enclosed in matching quotes loses them.
std::map<std::string, std::string> ReadIniSection(const std::string& text, const std::string& section) {
    std::map<std::string, std::string> values;
    bool inside = false;
    for (const std::string& raw : SplitLines(text)) {
        const std::string line = Trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inside = close != std::string::npos && LowerAscii(Trim(line.substr(1, close - 1))) == section;
            continue;
        }
        const size_t eq = line.find('=');
        if (!inside || eq == std::string::npos) continue;
        std::string value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        values.emplace(LowerAscii(Trim(line.substr(0, eq))), std::move(value));
    }
    return values;
}

// A decimal integer as the whole text (an optional sign, digits); nothing else counts.
bool ParseInt(const std::string& text, long long& number) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, number);
    return result.ec == std::errc() && result.ptr == end && begin != end;
}

}  // namespace

bool IsPlaylistAddress(const std::string& entry) {
    const std::string lower = LowerAscii(entry);
    if (lower.find("http://") != std::string::npos || lower.find("https://") != std::string::npos)
        return true;
    if (lower.rfind("file:", 0) == 0) return true;
    // A scheme: a letter, then letters, digits, "+", "-" or "."; two characters at least, so that a drive
    // ("C:") is not taken for one.
    size_t i = 0;
    if (lower.empty() || lower[0] < 'a' || lower[0] > 'z') return false;
    while (i < lower.size() &&
           ((lower[i] >= 'a' && lower[i] <= 'z') || (lower[i] >= '0' && lower[i] <= '9') || lower[i] == '+' ||
            lower[i] == '-' || lower[i] == '.'))
        ++i;
    return i >= 2 && lower.compare(i, 3, "://") == 0;
}

std::string DecodePlaylistText(const std::string& bytes) {
    auto startsWith = [&](const char* bom, size_t length) {
        return bytes.compare(0, length, bom, length) == 0;
    };
    if (startsWith("\xEF\xBB\xBF", 3)) return bytes.substr(3);
    if (startsWith("\xFF\xFE", 2)) return Utf16ToUtf8(bytes, 2, false);
    if (startsWith("\xFE\xFF", 2)) return Utf16ToUtf8(bytes, 2, true);
    return bytes;
}

std::vector<std::string> M3UFiles(const std::string& bytes, const std::string& folder,
                                  std::vector<std::string>* addresses) {
    std::vector<std::string> files;
    for (const std::string& line : SplitLines(DecodePlaylistText(bytes))) {
        if (line.empty() || line.front() == '#') continue;
        if (IsPlaylistAddress(line)) {
            if (addresses) addresses->push_back(line);
            continue;
        }
        // A NUL would cut the name short on its way to the file system, naming another file.
        if (line.find('\0') != std::string::npos) continue;

        std::string entry = ForwardSlashes(line);
        if (entry.size() >= 2 && entry[1] == ':') {
            // A drive has no counterpart here: what follows it is a path from the root.
            entry.erase(0, 2);
            if (entry.empty() || entry.front() != '/') entry.insert(entry.begin(), '/');
        } else if (entry.front() != '/') {
            entry = folder + entry;
        }
        if (IsExistingFile(entry)) files.push_back(entry);
    }
    return files;
}

std::vector<std::string> ReadM3U(const std::string& playlist, std::vector<std::string>* addresses) {
    std::string bytes;
    if (!ReadWhole(playlist, bytes)) return {};
    return M3UFiles(bytes, PlaylistFolder(playlist), addresses);
}

std::vector<std::string> PLSFiles(const std::string& bytes, const std::string& folder,
                                  std::vector<std::string>* addresses) {
    std::vector<std::string> files;
    const auto values = ReadIniSection(DecodePlaylistText(bytes), "playlist");

    long long count = 0;
    if (auto it = values.find("numberofentries"); it != values.end() && !ParseInt(it->second, count))
        count = 0;
    if (count < 0) return files;

    // Walk the FileN keys that are present rather than every N up to the count, which a damaged file may
    // put in the billions.
    std::map<long long, std::string> entries;
    for (const auto& [key, value] : values) {
        if (key.size() < 5 || key.compare(0, 4, "file") != 0) continue;
        const std::string digits = key.substr(4);
        long long index = 0;
        if (digits.find_first_not_of("0123456789") != std::string::npos || !ParseInt(digits, index)) continue;
        if (std::to_string(index) != digits || index > count) continue;  // File01 is not File1
        entries.emplace(index, value);
    }
    for (const auto& [index, value] : entries) {
        if (IsPlaylistAddress(value)) {
            if (addresses) addresses->push_back(value);
            continue;
        }
        if (value.empty() || (value.size() >= 2 && value[1] == ':')) continue;
        if (value.find('\0') != std::string::npos) continue;
        const std::string entry = ForwardSlashes(value);
        if (entry.front() != '/') continue;
        if (IsExistingFile(entry)) {
            files.push_back(entry);
        } else if (IsExistingFile(folder + entry.substr(1))) {
            files.push_back(folder + entry.substr(1));
        }
    }
    return files;
}

std::vector<std::string> ReadPLS(const std::string& playlist, std::vector<std::string>* addresses) {
    std::string bytes;
    if (!ReadWhole(playlist, bytes)) return {};
    return PLSFiles(bytes, PlaylistFolder(playlist), addresses);
}
