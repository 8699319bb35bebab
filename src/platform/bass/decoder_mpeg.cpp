// MPEG audio layers 1-3 through libmpg123, gapless and with an exact length from a full scan. The probe
// insists on consecutive valid frame headers at the start (after an ID3v2 tag), because mpg123 itself
// would resynchronise inside almost any file and steal formats the add-ons decode properly.
#include <mpg123.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/bass/decoder.h"

namespace bass {
namespace {

struct FrameHeader {
    int version = 0;  // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;
    int rate = 0;
    int size = 0;  // bytes of the whole frame
};

bool ParseHeader(const unsigned char* p, FrameHeader& h) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    static const int kRates[3] = {44100, 48000, 32000};
    static const int kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    h.version = versionBits == 3 ? 1 : (versionBits == 2 ? 2 : 25);
    h.layer = 4 - layerBits;
    h.rate = kRates[rateIndex] >> (h.version == 1 ? 0 : (h.version == 2 ? 1 : 2));
    const int kbps = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex];
    if (h.layer == 1) {
        h.size = (12 * kbps * 1000 / h.rate + padding) * 4;
    } else if (h.layer == 3 && h.version != 1) {
        h.size = 72 * kbps * 1000 / h.rate + padding;
    } else {
        h.size = 144 * kbps * 1000 / h.rate + padding;
    }
    return h.size >= 4;
}

// Offset of the first frame when the file plainly is MPEG audio, else -1.
int64_t FindFirstFrame(HostFile& file) {
    unsigned char head[10];
    if (!file.Seek(0) || file.Read(head, 10) != 10) return -1;
    QWORD start = 0;
    if (std::memcmp(head, "ID3", 3) == 0) {
        if ((head[6] | head[7] | head[8] | head[9]) & 0x80) return -1;
        start =
            10 + ((QWORD(head[6]) << 21) | (QWORD(head[7]) << 14) | (QWORD(head[8]) << 7) | QWORD(head[9]));
        if (head[5] & 0x10) start += 10;  // footer
    }
    // Some taggers pad after the tag with zeros; a little of that is tolerated.
    std::vector<unsigned char> buf(8192);
    if (!file.Seek(start)) return -1;
    size_t got = file.Read(buf.data(), buf.size());
    size_t skip = 0;
    while (skip < got && buf[skip] == 0) ++skip;
    if (skip + 4 > got) return -1;
    start += skip;
    // Three frames in a row with the same version, layer and rate, or fewer that end exactly at the end.
    QWORD pos = start;
    FrameHeader first;
    for (int n = 0; n < 3; ++n) {
        unsigned char p[4];
        if (pos == file.Size() && n > 0) break;
        if (!file.Seek(pos) || file.Read(p, 4) != 4) return -1;
        FrameHeader h;
        if (!ParseHeader(p, h)) return -1;
        if (n == 0) first = h;
        if (h.version != first.version || h.layer != first.layer || h.rate != first.rate) return -1;
        pos += static_cast<QWORD>(h.size);
        if (pos > file.Size()) return n > 0 ? static_cast<int64_t>(start) : -1;
    }
    return static_cast<int64_t>(start);
}

ssize_t CbRead(void* handle, void* buffer, size_t bytes) {
    return static_cast<ssize_t>(static_cast<HostFile*>(handle)->Read(buffer, bytes));
}

off_t CbSeek(void* handle, off_t offset, int whence) {
    auto* f = static_cast<HostFile*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<off_t>(f->Position());
    if (whence == SEEK_END) base = static_cast<off_t>(f->Size());
    const off_t target = base + offset;
    return target >= 0 && f->Seek(static_cast<QWORD>(target)) ? target : -1;
}

class MpegDecoder : public Decoder {
  public:
    ~MpegDecoder() override {
        if (mh_ != nullptr) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
    }

    bool Open(HostFile& file) {
        static std::once_flag once;
        std::call_once(once, [] { mpg123_init(); });
        int err = MPG123_OK;
        mh_ = mpg123_new(nullptr, &err);
        if (mh_ == nullptr) return false;
        mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
        mpg123_param(mh_, MPG123_REMOVE_FLAGS, MPG123_IGNORE_INFOFRAME, 0.0);
        // A seek decodes a lead-in of frames to refill layer III's bit reservoir. The default two are too
        // few: at 8 kbit/s (MPEG-2 silence) a frame carries ~13 bytes, so the 255-byte reservoir spans ~20
        // frames, and a short lead-in leaves the output silent for thousands of samples.
        mpg123_param(mh_, MPG123_PREFRAMES, 24, 0.0);
        mpg123_format_none(mh_);
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i)
            mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_replace_reader_handle(mh_, CbRead, CbSeek, nullptr) != MPG123_OK) return false;
        if (!file.Seek(0) || mpg123_open_handle(mh_, &file) != MPG123_OK) return false;
        long r = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(mh_, &r, &channels, &encoding) != MPG123_OK || r <= 0 || channels <= 0 ||
            encoding != MPG123_ENC_FLOAT_32)
            return false;
        mpg123_frameinfo info{};
        if (mpg123_info(mh_, &info) != MPG123_OK) return false;
        rate = static_cast<DWORD>(r);
        chans = static_cast<DWORD>(channels);
        ctype = info.layer == 1 ? BASS_CTYPE_STREAM_MP1
                                : (info.layer == 2 ? BASS_CTYPE_STREAM_MP2 : BASS_CTYPE_STREAM_MP3);
        if (mpg123_scan(mh_) != MPG123_OK) return false;
        const off_t length = mpg123_length(mh_);
        if (length <= 0) return false;
        frames_ = length;
        return mpg123_seek(mh_, 0, SEEK_SET) == 0;
    }

    int64_t Frames() override { return frames_; }

    size_t Read(float* dst, size_t frames) override {
        const size_t frameBytes = chans * sizeof(float);
        auto* out = reinterpret_cast<unsigned char*>(dst);
        size_t bytes = 0;
        // mpg123 hands out whole bytes of frames; NEW_FORMAT mid-stream (a rate or mode change) ends here.
        for (int idle = 0; idle < 64 && bytes < frames * frameBytes;) {
            size_t done = 0;
            const int rc = mpg123_read(mh_, out + bytes, frames * frameBytes - bytes, &done);
            bytes += done;
            if (rc == MPG123_OK) {
                idle = done == 0 ? idle + 1 : 0;
                continue;
            }
            if (rc == MPG123_NEW_FORMAT) {
                long r = 0;
                int c = 0, e = 0;
                mpg123_getformat(mh_, &r, &c, &e);
                if (static_cast<DWORD>(r) != rate || static_cast<DWORD>(c) != chans) break;
                continue;
            }
            break;  // MPG123_DONE or an error
        }
        return bytes / frameBytes;
    }

    bool Seek(int64_t frame) override {
        return mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET) == frame;
    }

  private:
    mpg123_handle* mh_ = nullptr;
    int64_t frames_ = -1;
};

}  // namespace

std::unique_ptr<Decoder> OpenMpegDecoder(HostFile& file) {
    if (!file.CanSeek() || FindFirstFrame(file) < 0 || !file.Seek(0)) return nullptr;
    auto dec = std::make_unique<MpegDecoder>();
    if (!dec->Open(file)) return nullptr;
    return dec;
}

}  // namespace bass
