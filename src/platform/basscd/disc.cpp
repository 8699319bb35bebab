// Opening discs and images; see disc.h.
#include "platform/basscd/disc.h"

#include <cdio/logging.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/basscd/cue_sheet.h"

namespace basscd {
namespace {

void DropLogLine(cdio_log_level_t, const char*) {}

// A private folder holding the normalised sheet and a link named like it to the real BIN; removed as soon
// as libcdio has parsed the sheet and opened the BIN.
class ImageShim {
  public:
    ~ImageShim() {
        if (!cue_.empty()) ::unlink(cue_.c_str());
        if (!bin_.empty()) ::unlink(bin_.c_str());
        if (!folder_.empty()) ::rmdir(folder_.c_str());
    }
    bool Make(const CueSheet& sheet, std::string& error) {
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::absolute(sheet.binPath, ec);
        if (ec) return Fail(error, "cannot resolve the BIN file");
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "wavetrove-cd-XXXXXX").string();
        if (ec) pattern = "/tmp/wavetrove-cd-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) return Fail(error, "cannot create a temporary folder");
        folder_ = pattern;
        if (::symlink(target.c_str(), (folder_ + "/image.bin").c_str()) != 0)
            return Fail(error, "cannot link the BIN file");
        bin_ = folder_ + "/image.bin";
        const std::string text = NormalisedCueText(sheet, "image.bin");
        FILE* file = std::fopen((folder_ + "/image.cue").c_str(), "wb");
        if (file == nullptr) return Fail(error, "cannot write a temporary sheet");
        cue_ = folder_ + "/image.cue";
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (std::fclose(file) != 0 || !written) return Fail(error, "cannot write a temporary sheet");
        return true;
    }
    const std::string& Sheet() const { return cue_; }

  private:
    static bool Fail(std::string& error, const char* why) {
        error = why;
        return false;
    }
    std::string folder_, bin_, cue_;
};

bool ReadToc(CdIo_t* cdio, Toc& toc) {
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || count > 99) return false;
    toc.firstNumber = first;
    for (track_t t = first; t < first + count; ++t) {
        TocTrack track;
        track.lsn = cdio_get_track_lsn(cdio, t);
        track.audio = cdio_get_track_format(cdio, t) == TRACK_FORMAT_AUDIO;
        if (track.lsn == CDIO_INVALID_LSN || track.lsn < 0) return false;
        if (!toc.tracks.empty() && track.lsn <= toc.tracks.back().lsn) return false;
        toc.tracks.push_back(track);
    }
    toc.leadout = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    return toc.leadout != CDIO_INVALID_LSN && toc.leadout >= 0;
}

}  // namespace

lsn_t Toc::TrackEnd(size_t index) const {
    return index + 1 < tracks.size() ? tracks[index + 1].lsn : leadout;
}

std::mutex& CdioLock() {
    static std::mutex lock;
    return lock;
}

void QuietLibcdio() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(DropLogLine); });
}

std::unique_ptr<Disc> Disc::Open(const std::string& path, bool image, std::string& error) {
    QuietLibcdio();
    std::unique_ptr<Disc> disc(new Disc);
    disc->toc_.image = image;
    std::optional<CueSheet> sheet;
    ImageShim shim;
    if (image) {
        sheet = LoadCueSheet(path, error);
        if (!sheet || !shim.Make(*sheet, error)) return nullptr;
    }
    std::lock_guard lock(CdioLock());
    disc->cdio_ =
        image ? cdio_open(shim.Sheet().c_str(), DRIVER_BINCUE) : cdio_open(path.c_str(), DRIVER_DEVICE);
    if (disc->cdio_ == nullptr) {
        error = image ? "libcdio cannot read the image" : "cannot open the drive";
        return nullptr;
    }
    if (!ReadToc(disc->cdio_, disc->toc_)) {
        error = image ? "libcdio cannot read the image" : "no disc";
        return nullptr;
    }
    if (image) {
        // libcdio must see the tracks the sheet describes; anything else means it read the sheet differently.
        bool same = disc->toc_.tracks.size() == sheet->tracks.size();
        for (size_t i = 0; same && i < sheet->tracks.size(); ++i)
            same = disc->toc_.tracks[i].lsn == sheet->tracks[i].index1 &&
                   disc->toc_.tracks[i].audio == sheet->tracks[i].audio;
        if (!same) {
            error = "libcdio read the sheet differently";
            return nullptr;
        }
    }
    return disc;
}

Disc::~Disc() {
    if (cdio_ != nullptr) {
        std::lock_guard lock(CdioLock());
        cdio_destroy(cdio_);
    }
}

}  // namespace basscd
