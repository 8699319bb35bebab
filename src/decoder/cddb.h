// CDDB disc records in memory (discs with their tracks, as xmcd records describe them) and TCDDBParser,
// which reads a CDDB server's reply line by line into them. The audio CD source keeps one parser for the
// whole run as its cache of the discs it has looked up.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class ECDDBParser : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TCDTracks;
class TCDDisk;

class TCDTrack {
  public:
    explicit TCDTrack(TCDTracks* collection) : collection_(collection) {}

    std::string Title;
    std::string Extra;
    double Duration = 0;  // never set from a record

    // The track's artist; empty reads as the disc's.
    std::string Performer() const;
    void SetPerformer(std::string performer) { performer_ = std::move(performer); }
    TCDTracks* Collection() const { return collection_; }

  private:
    friend class TCDDBParser;
    friend class TCDTracks;
    TCDTracks* collection_;
    std::string performer_;
    std::string titleText_;      // every TTITLE value of the track joined, as xmcd splits long ones
    bool titlePending_ = false;  // titleText_ grew and is not yet split into performer and title
};

class TCDTracks {
  public:
    explicit TCDTracks(TCDDisk* disk) : disk_(disk) {}
    TCDTracks(const TCDTracks&) = delete;
    // Copies the items; the collection keeps its own disc.
    TCDTracks& operator=(const TCDTracks& other);

    TCDTrack& Add(const std::string& title, const std::string& extra, double duration);
    TCDTrack& Add(const std::string& title);
    size_t Count() const { return items_.size(); }
    TCDTrack& Track(size_t index) const { return *items_.at(index); }
    TCDTrack& operator[](size_t index) const { return Track(index); }
    TCDDisk* Disk() const { return disk_; }

  private:
    TCDDisk* disk_;
    std::vector<std::unique_ptr<TCDTrack>> items_;
};

class TCDDisk {
  public:
    TCDDisk() : Tracks(this) {}
    TCDDisk(const TCDDisk&) = delete;
    TCDDisk& operator=(const TCDDisk& other);

    std::string PlayOrder;
    uint16_t Year = 0;
    std::string Title;
    std::string Performer;
    std::string Genre;
    std::string Extra;
    TCDTracks Tracks;

    // Eight lower-case hexadecimal digits; "ffffffff" when the id given was no hexadecimal number.
    std::string DiscID() const;
    // The first of the comma-separated ids in `text` becomes the disc id; records that serve several discs
    // list them all, and HasDiscID knows each of them.
    void SetDiscID(const std::string& text);
    bool HasDiscID(const std::string& id) const;

  private:
    friend class TCDDBParser;
    std::vector<uint32_t> ids_{0};
    std::string titleText_;  // every DTITLE value joined
    bool titlePending_ = false;
    bool bare_ = true;  // nothing but DISCID lines read for it yet
};

class TCDDisks {
  public:
    TCDDisks() = default;
    TCDDisks(const TCDDisks&) = delete;
    TCDDisks& operator=(const TCDDisks& other);  // copies the items

    TCDDisk& Add();
    TCDDisk& Add(const std::string& discId);
    size_t Count() const { return items_.size(); }
    TCDDisk& Disk(size_t index) const { return *items_.at(index); }
    TCDDisk& operator[](size_t index) const { return Disk(index); }

  private:
    std::vector<std::unique_ptr<TCDDisk>> items_;
};

class TCDDBParser {
  public:
    TCDDBParser() = default;
    TCDDBParser(const TCDDBParser&) = delete;
    TCDDBParser& operator=(const TCDDBParser&) = delete;

    TCDDisks& Disks() { return disks_; }
    const TCDDisks& Disks() const { return disks_; }

    // Reads one reply (lines without their line ends) and answers how many discs are known afterwards. With
    // `hasStatusLine` the first line is the server's status, which must be 200 or 210. Raises ECDDBParser;
    // discs read before the failing line stay.
    int Parse(const std::vector<std::string>& lines, bool hasStatusLine);

    // Track n of the disc being read, appended when n is the track count.
    TCDTrack& GetTrack(int n);

  private:
    void HandleLine(const std::string& line);
    void SplitTitles();
    TCDDisks disks_;
    TCDDisk* current_ = nullptr;
};

// "Artist / Title" → artist and title, both trimmed: split at the first " / ", or else at the first "/"
// (so "AC/DC / Back in Black" keeps the artist whole); without a "/" the artist is empty.
void SplitTitle(const std::string& text, std::string& performer, std::string& title);

// Removes leading and trailing blanks and control characters.
std::string TrimCDDB(const std::string& text);
