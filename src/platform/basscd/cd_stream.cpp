// CD track streams; see cd_stream.h.
#include "platform/basscd/cd_stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#include "platform/basscd/basscd.h"
#include "platform/basscd/drives.h"

namespace basscd {
namespace {

constexpr size_t kReadAheadSectors = 256;  // about 3.4 s of audio
constexpr int kRetries = 20;               // what cd-paranoia does by default
constexpr lsn_t kSessionGap = 11400;       // lead-out and lead-in between the sessions of a CD-Extra

std::mutex gTracksLock;
std::map<HSTREAM, std::pair<int, int>> gTracks;  // handle → (drive, track index)

constexpr long kSectorWords = kSectorBytes / 2;  // paranoia reports positions in 16-bit words

// Paranoia's callback has no user argument; each stream reads on its own thread.
thread_local bool tReadError = false;
thread_local lsn_t tTrackFirst = 0;
thread_local lsn_t tTrackEnd = 0;

// Only a skip inside the track means audio was lost: paranoia gives up on a sector after its retries. A
// transport error (READERR) is retried and reported as a skip if the retries fail; paranoia also reads
// ahead past the track, where errors (a cut image's missing tail, the next track) do not concern it.
void ParanoiaCallback(long position, paranoia_cb_mode_t mode) {
    if (mode != PARANOIA_CB_SKIP) return;
    const long sector = position / kSectorWords;
    if (sector >= tTrackFirst && sector < tTrackEnd) tReadError = true;
}

HSTREAM Refuse(int error) {
    _.SetError(error);
    return 0;
}

}  // namespace

const ADDON_FUNCTIONS CdStream::kFunctions = {
    0,       &CdStream::Free,    &CdStream::GetLength,      nullptr,
    nullptr, &CdStream::GetInfo, &CdStream::CanSetPosition, &CdStream::SetPosition,
    {}};

HSTREAM CdStream::Create(int drive, int index, DWORD flags) {
    // 16-bit or float samples only: an 8-bit or 32-bit integer request is refused, so the caller falls back
    // to float instead of reading float samples as integers.
    if (flags & (BASS_SAMPLE_8BITS | BASS_SAMPLE_INT32)) return Refuse(BASS_ERROR_FORMAT);
    const std::optional<Drive> entry = Drives::Get().At(drive);
    if (!entry) return Refuse(BASS_ERROR_DEVICE);
    std::string error;
    std::unique_ptr<CdStream> stream(new CdStream);
    stream->drive_ = drive;
    stream->index_ = index;
    stream->floatOutput_ = (flags & BASS_SAMPLE_FLOAT) != 0;
    stream->disc_ = Disc::Open(entry->path, entry->image, error);
    if (!stream->disc_) return Refuse(BASS_ERROR_NOCD);
    const Toc& toc = stream->disc_->GetToc();
    if (index < 0 || static_cast<size_t>(index) >= toc.tracks.size()) return Refuse(BASS_ERROR_CDTRACK);
    if (!toc.tracks[static_cast<size_t>(index)].audio) return Refuse(BASS_ERROR_NOTAUDIO);

    stream->first_ = toc.tracks[static_cast<size_t>(index)].lsn;
    stream->end_ = toc.TrackEnd(static_cast<size_t>(index));
    if (!entry->image && static_cast<size_t>(index) + 1 < toc.tracks.size() &&
        !toc.tracks[static_cast<size_t>(index) + 1].audio) {
        // On a CD-Extra the data session follows after a gap that holds no audio and cannot be read.
        lsn_t session = 0;
        std::lock_guard lock(CdioLock());
        if (cdio_get_last_session(stream->disc_->Handle(), &session) == DRIVER_OP_SUCCESS && session > 100 &&
            stream->end_ >= session && stream->end_ - kSessionGap > stream->first_)
            stream->end_ -= kSessionGap;
    }
    // An image ends where its BIN does: a track past that is missing, a track running past it is cut short.
    stream->readableEnd_ = entry->image ? std::min(toc.leadout, stream->end_) : stream->end_;
    if (stream->end_ <= stream->first_ || stream->first_ >= stream->readableEnd_)
        return Refuse(BASS_ERROR_CDTRACK);

    {
        std::lock_guard lock(CdioLock());
        stream->cdda_ = cdio_cddap_identify_cdio(stream->disc_->Handle(), CDDA_MESSAGE_FORGETIT, nullptr);
        if (stream->cdda_ == nullptr) return Refuse(BASS_ERROR_NOCD);
        cdio_cddap_verbose_set(stream->cdda_, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
        // CD audio is little-endian; the library's guess from the data swaps noise-like audio now and then.
        stream->cdda_->bigendianp = 0;
        if (cdio_cddap_open(stream->cdda_) != 0) return Refuse(BASS_ERROR_NOCD);
        stream->paranoia_ = cdio_paranoia_init(stream->cdda_);
        if (stream->paranoia_ == nullptr) return Refuse(BASS_ERROR_MEM);
    }
    cdio_paranoia_modeset(stream->paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    cdio_paranoia_seek(stream->paranoia_, stream->first_, SEEK_SET);
    stream->nextSector_ = stream->first_;
    stream->driveLock_ = Drives::Get().ReadLock(drive);

    const HSTREAM handle = _.CreateStream(44100, 2, flags & ~BASS_SAMPLE_8BITS, &CdStream::StreamProc,
                                          stream.get(), &kFunctions);
    if (handle == 0) return 0;  // the host set the error
    {
        std::lock_guard lock(gTracksLock);
        gTracks[handle] = {drive, index};
    }
    stream->handle_ = handle;
    stream.release();  // the host frees it through kFunctions.Free
    return handle;
}

bool CdStream::TrackOf(HSTREAM handle, int& drive, int& index) {
    std::lock_guard lock(gTracksLock);
    auto it = gTracks.find(handle);
    if (it == gTracks.end()) return false;
    drive = it->second.first;
    index = it->second.second;
    return true;
}

CdStream::~CdStream() {
    StopReader();
    if (handle_ != 0) {
        std::lock_guard lock(gTracksLock);
        gTracks.erase(handle_);
    }
    if (paranoia_ != nullptr) cdio_paranoia_free(paranoia_);
    if (cdda_ != nullptr) {
        std::lock_guard lock(CdioLock());
        cdio_cddap_close_no_free_cdio(cdda_);
    }
}

DWORD CdStream::StreamProc(HSTREAM, void* buffer, DWORD length, void* user) {
    return static_cast<CdStream*>(user)->Read(static_cast<uint8_t*>(buffer), length);
}

void CdStream::Free(void* inst) {
    delete static_cast<CdStream*>(inst);
}

QWORD CdStream::GetLength(void* inst, DWORD mode) {
    auto* self = static_cast<CdStream*>(inst);
    if (mode != BASS_POS_BYTE) {
        _.SetError(BASS_ERROR_NOTAVAIL);
        return static_cast<QWORD>(-1);
    }
    return self->OutputBytes(static_cast<QWORD>(self->end_ - self->first_) * kSectorBytes);
}

void CdStream::GetInfo(void*, BASS_CHANNELINFO* info) {
    info->ctype = BASS_CTYPE_STREAM_CD;
    info->origres = 16;
}

BOOL CdStream::CanSetPosition(void* inst, QWORD pos, DWORD mode) {
    if (mode != BASS_POS_BYTE) {
        _.SetError(BASS_ERROR_NOTAVAIL);
        return FALSE;
    }
    if (pos > GetLength(inst, mode)) {
        _.SetError(BASS_ERROR_POSITION);
        return FALSE;
    }
    return TRUE;
}

QWORD CdStream::SetPosition(void* inst, QWORD pos, DWORD mode) {
    auto* self = static_cast<CdStream*>(inst);
    if (!CanSetPosition(inst, pos, mode)) return static_cast<QWORD>(-1);
    const QWORD frame = self->floatOutput_ ? 8 : 4;
    pos -= pos % frame;
    const QWORD pcm = self->floatOutput_ ? pos / 2 : pos;
    self->StopReader();
    const lsn_t sector = self->first_ + static_cast<lsn_t>(pcm / kSectorBytes);
    std::lock_guard lock(self->mutex_);
    self->sectors_.clear();
    self->frontOffset_ = static_cast<size_t>(pcm % kSectorBytes);
    self->nextSector_ = sector;
    self->finished_ = false;
    self->failed_ = false;
    if (sector < self->end_) cdio_paranoia_seek(self->paranoia_, sector, SEEK_SET);
    return pos;
}

DWORD CdStream::Read(uint8_t* out, DWORD length) {
    std::unique_lock lock(mutex_);
    if (!running_ && !finished_) StartReader();
    if (floatOutput_) length -= length % 4;
    DWORD done = 0;
    while (done < length) {
        changed_.wait(lock, [&] { return !sectors_.empty() || finished_; });
        if (sectors_.empty()) break;
        const uint8_t* sector = sectors_.front().data();
        if (floatOutput_) {
            size_t samples = (kSectorBytes - frontOffset_) / 2;
            samples = std::min<size_t>(samples, (length - done) / 4);
            auto* target = reinterpret_cast<float*>(out + done);
            for (size_t i = 0; i < samples; ++i) {
                int16_t value;
                std::memcpy(&value, sector + frontOffset_ + 2 * i, 2);
                target[i] = static_cast<float>(value) * (1.0f / 32768.0f);
            }
            frontOffset_ += samples * 2;
            done += static_cast<DWORD>(samples * 4);
        } else {
            const size_t n = std::min<size_t>(kSectorBytes - frontOffset_, length - done);
            std::memcpy(out + done, sector + frontOffset_, n);
            frontOffset_ += n;
            done += static_cast<DWORD>(n);
        }
        if (frontOffset_ >= kSectorBytes) {
            sectors_.pop_front();
            frontOffset_ = 0;
            changed_.notify_all();  // room for the reader
        }
    }
    const bool ended = sectors_.empty() && finished_;
    return done | (ended ? BASS_STREAMPROC_END : 0);
}

void CdStream::StartReader() {
    running_ = true;
    stop_ = false;
    reader_ = std::thread(&CdStream::ReaderLoop, this);
}

void CdStream::StopReader() {
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
    std::lock_guard lock(mutex_);
    running_ = false;
    stop_ = false;
}

void CdStream::ReaderLoop() {
    // A physical drive reads one track at a time; waiting for it stays responsive to a stop.
    std::unique_lock<std::timed_mutex> drive;
    if (driveLock_ != nullptr) {
        drive = std::unique_lock<std::timed_mutex>(*driveLock_, std::defer_lock);
        while (!drive.try_lock_for(std::chrono::milliseconds(100))) {
            std::lock_guard lock(mutex_);
            if (stop_) return;
        }
    }
    bool failed = false;
    tTrackFirst = first_;
    tTrackEnd = readableEnd_;  // past it the stream fails by itself
    for (;;) {
        lsn_t sector = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || sectors_.size() < kReadAheadSectors; });
            if (stop_) return;
            sector = nextSector_;
        }
        if (sector >= end_) break;
        if (sector >= readableEnd_) {  // the image's BIN ends inside the track
            failed = true;
            break;
        }
        tReadError = false;
        const int16_t* data = cdio_paranoia_read_limited(paranoia_, &ParanoiaCallback, kRetries);
        if (data == nullptr || tReadError) {
            failed = true;
            break;
        }
        std::vector<uint8_t> copy(kSectorBytes);
        std::memcpy(copy.data(), data, kSectorBytes);
        std::lock_guard lock(mutex_);
        if (stop_) return;
        sectors_.push_back(std::move(copy));
        ++nextSector_;
        changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    failed_ = failed;
    changed_.notify_all();
}

}  // namespace basscd
