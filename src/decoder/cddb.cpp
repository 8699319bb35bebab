// CDDB records and their parser; see cddb.h.
#include "decoder/cddb.h"

#include <cstdio>

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// A decimal integer with an optional sign and nothing else; false otherwise or when it overflows.
bool ParseDecimal(const std::string& text, long long& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text.size() - i > 18) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool ParseHexId(const std::string& text, uint32_t& id) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t v = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) return false;
        v = (v << 4) | static_cast<uint32_t>(digit);
    }
    id = v;
    return true;
}

// EXTD and EXTT values carry line breaks as the two characters backslash and n.
std::string Unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

int TrackNumber(const std::string& text) {
    long long n = 0;
    if (!ParseDecimal(text, n) || n < -1 || n > 0x7FFFFFFF) return -1;
    return static_cast<int>(n);
}

std::string Formatted(const char* format, long long number, const std::string& text = {}) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, number);
    return buffer + text;
}

}  // namespace

std::string TrimCDDB(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

void SplitTitle(const std::string& text, std::string& performer, std::string& title) {
    size_t at = text.find(" / ");
    size_t width = 3;
    if (at == std::string::npos) {
        at = text.find('/');
        width = 1;
    }
    if (at == std::string::npos) {
        performer.clear();
        title = TrimCDDB(text);
        return;
    }
    performer = TrimCDDB(text.substr(0, at));
    title = TrimCDDB(text.substr(at + width));
}

std::string TCDTrack::Performer() const {
    if (performer_.empty() && collection_ != nullptr && collection_->Disk() != nullptr)
        return collection_->Disk()->Performer;
    return performer_;
}

TCDTracks& TCDTracks::operator=(const TCDTracks& other) {
    if (this == &other) return *this;
    std::vector<std::unique_ptr<TCDTrack>> copies;
    for (const auto& item : other.items_) {
        auto copy = std::make_unique<TCDTrack>(this);
        copy->Title = item->Title;
        copy->Extra = item->Extra;
        copy->Duration = item->Duration;
        copy->performer_ = item->performer_;
        copy->titleText_ = item->titleText_;
        copies.push_back(std::move(copy));
    }
    items_ = std::move(copies);
    return *this;
}

TCDTrack& TCDTracks::Add(const std::string& title, const std::string& extra, double duration) {
    auto track = std::make_unique<TCDTrack>(this);
    track->Title = title;
    track->Extra = extra;
    track->Duration = duration;
    items_.push_back(std::move(track));
    return *items_.back();
}

TCDTrack& TCDTracks::Add(const std::string& title) {
    return Add(title, "", 0);
}

TCDDisk& TCDDisk::operator=(const TCDDisk& other) {
    if (this == &other) return *this;
    PlayOrder = other.PlayOrder;
    Year = other.Year;
    Title = other.Title;
    Performer = other.Performer;
    Genre = other.Genre;
    Extra = other.Extra;
    Tracks = other.Tracks;
    ids_ = other.ids_;
    titleText_ = other.titleText_;
    bare_ = other.bare_;
    return *this;
}

std::string TCDDisk::DiscID() const {
    char text[16];
    std::snprintf(text, sizeof text, "%.8x", ids_.empty() ? 0u : ids_.front());
    return text;
}

void TCDDisk::SetDiscID(const std::string& text) {
    ids_.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        uint32_t id = 0;
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (ParseHexId(part, id))
            ids_.push_back(id);
        else if (ids_.empty())
            ids_.push_back(0xFFFFFFFFu);  // the first id decides what DiscID reads
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
}

bool TCDDisk::HasDiscID(const std::string& id) const {
    uint32_t wanted = 0;
    if (id == DiscID()) return true;
    if (!ParseHexId(id, wanted)) return false;
    for (uint32_t mine : ids_)
        if (mine == wanted) return true;
    return false;
}

TCDDisks& TCDDisks::operator=(const TCDDisks& other) {
    if (this == &other) return *this;
    std::vector<std::unique_ptr<TCDDisk>> copies;
    for (const auto& item : other.items_) {
        auto copy = std::make_unique<TCDDisk>();
        *copy = *item;
        copies.push_back(std::move(copy));
    }
    items_ = std::move(copies);
    return *this;
}

TCDDisk& TCDDisks::Add() {
    items_.push_back(std::make_unique<TCDDisk>());
    return *items_.back();
}

TCDDisk& TCDDisks::Add(const std::string& discId) {
    TCDDisk& disk = Add();
    disk.SetDiscID(discId);
    return disk;
}

TCDTrack& TCDDBParser::GetTrack(int n) {
    if (n < 0) throw ECDDBParser(Formatted("Invalid track number: %lld", n));
    if (current_ == nullptr) throw ECDDBParser("No disk active");
    const size_t count = current_->Tracks.Count();
    if (static_cast<size_t>(n) > count) throw ECDDBParser(Formatted("Invalid track number: %lld", n));
    if (static_cast<size_t>(n) == count) return current_->Tracks.Add("");
    return current_->Tracks.Track(static_cast<size_t>(n));
}

int TCDDBParser::Parse(const std::vector<std::string>& lines, bool hasStatusLine) {
    size_t first = 0;
    if (hasStatusLine && !lines.empty()) {
        const std::string& status = lines[0];
        const size_t blank = status.find(' ');
        long long code = 0;
        if (!ParseDecimal(status.substr(0, blank), code)) code = 0;
        if (code != 200 && code != 210)
            throw ECDDBParser("CDDB error in command response: " +
                              (blank == std::string::npos ? std::string() : status.substr(blank + 1)));
        first = 1;
    }
    current_ = nullptr;
    for (size_t i = first; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == '#') continue;
        try {
            HandleLine(line);
        } catch (const ECDDBParser& error) {
            SplitTitles();
            current_ = nullptr;
            throw ECDDBParser(Formatted("An error occurred while parsing line %lld of the response: ",
                                        static_cast<long long>(i), error.what()));
        }
    }
    SplitTitles();
    current_ = nullptr;
    return static_cast<int>(disks_.Count());
}

// Titles are split once their disc is read whole, not at every line: a reply of many short DTITLE or TTITLE
// lines would otherwise cost time in the square of its length.
void TCDDBParser::SplitTitles() {
    if (current_ == nullptr) return;
    TCDDisk& disk = *current_;
    if (disk.titlePending_) SplitTitle(disk.titleText_, disk.Performer, disk.Title);
    disk.titlePending_ = false;
    for (size_t i = 0; i < disk.Tracks.Count(); ++i) {
        TCDTrack& track = disk.Tracks.Track(i);
        if (!track.titlePending_) continue;
        std::string performer;
        SplitTitle(track.titleText_, performer, track.Title);
        track.performer_ = performer;
        track.titlePending_ = false;
    }
}

void TCDDBParser::HandleLine(const std::string& line) {
    const size_t eq = line.find('=');
    const std::string key = eq == std::string::npos ? std::string() : Upper(line.substr(0, eq));
    const std::string value = eq == std::string::npos ? line : line.substr(eq + 1);

    if (key == "DISCID") {
        if (current_ != nullptr && current_->bare_) {
            // A record serving many discs continues its id list on further DISCID lines.
            TCDDisk probe;
            probe.SetDiscID(value);
            for (uint32_t id : probe.ids_)
                if (id != 0xFFFFFFFFu) current_->ids_.push_back(id);
            return;
        }
        SplitTitles();
        current_ = &disks_.Add(value);
        return;
    }
    if (current_ == nullptr) throw ECDDBParser("No disk active");
    TCDDisk& disk = *current_;
    disk.bare_ = false;
    if (key == "DTITLE") {
        disk.titleText_ += value;
        disk.titlePending_ = true;
    } else if (key == "DYEAR") {
        long long year = 0;
        disk.Year = ParseDecimal(TrimCDDB(value), year) && year >= 0 && year <= 0xFFFF
                        ? static_cast<uint16_t>(year)
                        : 0;
    } else if (key == "DGENRE") {
        disk.Genre = TrimCDDB(value);
    } else if (key == "EXTD") {
        disk.Extra += Unescape(value);
    } else if (key.compare(0, 6, "TTITLE") == 0) {
        TCDTrack& track = GetTrack(TrackNumber(key.substr(6)));
        track.titleText_ += value;
        track.titlePending_ = true;
    } else if (key.compare(0, 4, "EXTT") == 0) {
        GetTrack(TrackNumber(key.substr(4))).Extra += Unescape(value);
    } else if (key.compare(0, 9, "PLAYORDER") == 0) {
        disk.PlayOrder = TrimCDDB(value);
    }
}
