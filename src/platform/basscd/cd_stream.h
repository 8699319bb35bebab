// One CD track as a decode-only stream: 44100 Hz stereo, 16-bit (or float when asked), exactly the track's
// sectors. Sectors are read with libcdio-paranoia's error correction on a read-ahead thread, so the disc
// keeps reading while the caller converts; a read error paranoia cannot cure ends the stream early.
#pragma once

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/bass/bass_addon.h"
#include "platform/basscd/disc.h"

namespace basscd {

constexpr DWORD kSectorBytes = 2352;  // 588 stereo 16-bit frames
constexpr DWORD BASS_CTYPE_STREAM_CD = 0x10200;

class CdStream {
  public:
    // Opens track `index` (from 0) of drive `drive` and creates its host stream. Answers the handle, or 0
    // with the error set: no such device or image, no disc, no such track, a data track, a track that starts
    // past the end of the image.
    static HSTREAM Create(int drive, int index, DWORD flags);

    ~CdStream();
    CdStream(const CdStream&) = delete;
    CdStream& operator=(const CdStream&) = delete;

    // The drive and track index of a stream this add-on made; false for any other handle.
    static bool TrackOf(HSTREAM handle, int& drive, int& index);

  private:
    CdStream() = default;

    static DWORD StreamProc(HSTREAM handle, void* buffer, DWORD length, void* user);
    static void Free(void* inst);
    static QWORD GetLength(void* inst, DWORD mode);
    static void GetInfo(void* inst, BASS_CHANNELINFO* info);
    static BOOL CanSetPosition(void* inst, QWORD pos, DWORD mode);
    static QWORD SetPosition(void* inst, QWORD pos, DWORD mode);
    static const ADDON_FUNCTIONS kFunctions;

    DWORD Read(uint8_t* out, DWORD length);
    void StartReader();
    void StopReader();
    void ReaderLoop();
    QWORD OutputBytes(QWORD pcmBytes) const { return floatOutput_ ? pcmBytes * 2 : pcmBytes; }

    int drive_ = -1;
    int index_ = -1;
    bool floatOutput_ = false;
    std::unique_ptr<Disc> disc_;
    cdrom_drive_t* cdda_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    HSTREAM handle_ = 0;
    std::timed_mutex* driveLock_ = nullptr;  // physical drives only
    lsn_t first_ = 0;                        // first sector of the track
    lsn_t end_ = 0;                          // sector after the last
    lsn_t readableEnd_ = 0;                  // sector after the last one the image holds

    // Read-ahead state, guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread reader_;
    bool running_ = false;
    bool stop_ = false;
    bool finished_ = false;  // the reader reached the end or failed
    bool failed_ = false;
    lsn_t nextSector_ = 0;  // the next sector the reader fetches
    std::deque<std::vector<uint8_t>> sectors_;
    size_t frontOffset_ = 0;  // bytes of the front sector already delivered
};

}  // namespace basscd
