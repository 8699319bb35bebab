// An open audio disc: a libcdio handle over a CD device or over a BIN/CUE image, and its table of contents.
// libcdio's image reader only understands plain single-file sheets named like their BIN, so an image is
// opened through a normalised copy of its sheet that exists only while libcdio parses it.
#pragma once

#include <cdio/cdio.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace basscd {

struct TocTrack {
    lsn_t lsn = 0;  // first sector (INDEX 01)
    bool audio = true;
};

struct Toc {
    int firstNumber = 1;  // the disc's number of its first track
    std::vector<TocTrack> tracks;
    lsn_t leadout = 0;
    bool image = false;

    // The sector after the last one of track `index` (from 0): where the next track starts, or the lead-out.
    lsn_t TrackEnd(size_t index) const;
};

class Disc {
  public:
    // Opens a device (`image` false) or a cue sheet. Answers null and sets `error` to a short reason
    // ("no disc", the sheet's fault, ...) when there is nothing to read.
    static std::unique_ptr<Disc> Open(const std::string& path, bool image, std::string& error);
    ~Disc();
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;

    CdIo_t* Handle() const { return cdio_; }
    const Toc& GetToc() const { return toc_; }

  private:
    Disc() = default;
    CdIo_t* cdio_ = nullptr;
    Toc toc_;
};

// libcdio's image parser keeps state in globals (strtok) and its log handler is process-wide: every
// libcdio call that opens or inspects a disc runs under this lock.
std::mutex& CdioLock();

// Routes libcdio's log lines away from the console; called before the first libcdio call.
void QuietLibcdio();

}  // namespace basscd
