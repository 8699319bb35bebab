// Ogg Vorbis through libvorbisfile: exact lengths from the stream's granule positions, and the Vorbis
// comments as the stream's tag block.
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <string>

#include "platform/bass/decoder.h"

namespace bass {
namespace {

size_t CbRead(void* ptr, size_t size, size_t nmemb, void* source) {
    if (size == 0) return 0;
    return static_cast<HostFile*>(source)->Read(ptr, size * nmemb) / size;
}

int CbSeek(void* source, ogg_int64_t offset, int whence) {
    auto* f = static_cast<HostFile*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(f->Position());
    if (whence == SEEK_END) base = static_cast<ogg_int64_t>(f->Size());
    const ogg_int64_t target = base + offset;
    return target >= 0 && f->Seek(static_cast<QWORD>(target)) ? 0 : -1;
}

long CbTell(void* source) {
    return static_cast<long>(static_cast<HostFile*>(source)->Position());
}

// Vorbis orders surround channels differently from WAV (centre second, LFE last); map them to the WAV
// order so multichannel files come out as FFmpeg and every PCM consumer expect. Entry i names the
// Vorbis channel that goes to output channel i.
constexpr int kWaveOrder[8][8] = {{0},
                                  {0, 1},
                                  {0, 2, 1},
                                  {0, 1, 2, 3},
                                  {0, 2, 1, 3, 4},
                                  {0, 2, 1, 5, 3, 4},
                                  {0, 2, 1, 6, 5, 3, 4},
                                  {0, 2, 1, 7, 5, 6, 3, 4}};

class VorbisDecoder : public Decoder {
  public:
    VorbisDecoder() = default;
    ~VorbisDecoder() override { ov_clear(&vf_); }

    bool Open(HostFile& file) {
        const ov_callbacks callbacks = {CbRead, CbSeek, nullptr, CbTell};
        if (ov_open_callbacks(&file, &vf_, nullptr, 0, callbacks) != 0) {
            std::memset(&vf_, 0, sizeof vf_);  // ov_clear on a failed open is a no-op then
            return false;
        }
        const vorbis_info* vi = ov_info(&vf_, 0);
        if (vi == nullptr || vi->channels <= 0 || vi->channels > kMaxChannels || vi->rate <= 0) return false;
        rate = static_cast<DWORD>(vi->rate);
        chans = static_cast<DWORD>(vi->channels);
        ctype = BASS_CTYPE_STREAM_OGG;
        frames_ = ov_pcm_total(&vf_, -1);
        if (frames_ < 0) return false;
        CollectTags();
        return true;
    }

    int64_t Frames() override { return frames_; }

    size_t Read(float* dst, size_t frames) override {
        // Holes (OV_HOLE) in a damaged stream are skipped; a bounded number of retries keeps a stream of
        // nothing but holes from spinning.
        for (int tries = 0; tries < 64; ++tries) {
            float** pcm = nullptr;
            int link = 0;
            const int want = frames > 4096 ? 4096 : static_cast<int>(frames);
            const long n = ov_read_float(&vf_, &pcm, want, &link);
            if (n == OV_HOLE) continue;
            if (n <= 0) return 0;
            // A chained stream whose later links change the layout ends where the change happens.
            const vorbis_info* vi = ov_info(&vf_, link);
            if (vi == nullptr || static_cast<DWORD>(vi->channels) != chans ||
                static_cast<DWORD>(vi->rate) != rate)
                return 0;
            for (DWORD c = 0; c < chans; ++c) {
                const float* from = pcm[chans <= 8 ? kWaveOrder[chans - 1][c] : c];
                for (long i = 0; i < n; ++i) dst[i * chans + c] = from[i];
            }
            return static_cast<size_t>(n);
        }
        return 0;
    }

    bool Seek(int64_t frame) override { return ov_pcm_seek(&vf_, frame) == 0; }

    const char* Tags(DWORD type) override {
        if (type != BASS_TAG_OGG || tags_.empty()) return nullptr;
        return tags_.data();
    }

  private:
    void CollectTags() {
        const vorbis_comment* vc = ov_comment(&vf_, -1);
        if (vc == nullptr || vc->comments <= 0) return;
        for (int i = 0; i < vc->comments; ++i) {
            if (vc->user_comments[i] == nullptr || vc->comment_lengths[i] <= 0) continue;
            // A comment may hold a NUL of its own; the block format cannot carry it, so it ends there.
            const std::string text(vc->user_comments[i],
                                   strnlen(vc->user_comments[i], vc->comment_lengths[i]));
            if (text.empty()) continue;
            tags_.insert(tags_.end(), text.begin(), text.end());
            tags_.push_back('\0');
        }
        if (!tags_.empty()) tags_.push_back('\0');
    }

    OggVorbis_File vf_{};
    int64_t frames_ = -1;
    std::string tags_;
};

}  // namespace

std::unique_ptr<Decoder> OpenVorbisDecoder(HostFile& file) {
    unsigned char head[4];
    if (!file.CanSeek() || !file.Seek(0) || file.Read(head, 4) != 4 || std::memcmp(head, "OggS", 4) != 0 ||
        !file.Seek(0))
        return nullptr;
    auto dec = std::make_unique<VorbisDecoder>();
    if (!dec->Open(file)) return nullptr;
    return dec;
}

}  // namespace bass
