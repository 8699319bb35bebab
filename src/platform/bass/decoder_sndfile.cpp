// WAV and AIFF through libsndfile. Only plain integer PCM and 32-bit float are taken: those come out
// exactly; compressed or exotic encodings are left to the add-ons.
#include <sndfile.h>

#include <cstring>

#include "platform/bass/decoder.h"

namespace bass {

namespace {

sf_count_t VioLength(void* user) {
    return static_cast<sf_count_t>(static_cast<HostFile*>(user)->Size());
}

sf_count_t VioSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<HostFile*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<sf_count_t>(f->Position());
    if (whence == SEEK_END) base = static_cast<sf_count_t>(f->Size());
    const sf_count_t target = base + offset;
    if (target < 0 || !f->Seek(static_cast<QWORD>(target))) return -1;
    return target;
}

sf_count_t VioRead(void* ptr, sf_count_t count, void* user) {
    if (count <= 0) return 0;
    return static_cast<sf_count_t>(static_cast<HostFile*>(user)->Read(ptr, static_cast<size_t>(count)));
}

sf_count_t VioWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t VioTell(void* user) {
    return static_cast<sf_count_t>(static_cast<HostFile*>(user)->Position());
}

SF_VIRTUAL_IO vio = {VioLength, VioSeek, VioRead, VioWrite, VioTell};

// libsndfile recognises many containers; only WAV and AIFF belong to the built-ins.
bool LooksLikeWaveOrAiff(HostFile& file) {
    unsigned char head[12];
    if (!file.Seek(0) || file.Read(head, sizeof head) != sizeof head) return false;
    const bool riff = (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0) &&
                      std::memcmp(head + 8, "WAVE", 4) == 0;
    const bool aiff = std::memcmp(head, "FORM", 4) == 0 &&
                      (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0);
    return riff || aiff;
}

class SndfileDecoder : public Decoder {
  public:
    SndfileDecoder(SNDFILE* sf, const SF_INFO& info)
        : sf_(sf), frames_(info.frames), integer_((info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT) {}
    ~SndfileDecoder() override { sf_close(sf_); }

    int64_t Frames() override { return frames_; }
    size_t Read(float* dst, size_t frames) override {
        sf_count_t got = sf_readf_float(sf_, dst, static_cast<sf_count_t>(frames));
        return got > 0 ? static_cast<size_t>(got) : 0;
    }
    // libsndfile shifts integer samples of every depth to the top of an int: exactly the full-scale layout.
    bool CanReadInt32() const override { return integer_; }
    size_t ReadInt32(int32_t* dst, size_t frames) override {
        sf_count_t got = sf_readf_int(sf_, dst, static_cast<sf_count_t>(frames));
        return got > 0 ? static_cast<size_t>(got) : 0;
    }
    bool Seek(int64_t frame) override { return sf_seek(sf_, frame, SEEK_SET) == frame; }

  private:
    SNDFILE* sf_;
    int64_t frames_;
    bool integer_;
};

}  // namespace

std::unique_ptr<Decoder> OpenSndfileDecoder(HostFile& file) {
    if (!file.CanSeek() || !LooksLikeWaveOrAiff(file) || !file.Seek(0)) return nullptr;
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&vio, SFM_READ, &info, &file);
    if (sf == nullptr) return nullptr;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    DWORD bits = 0;
    switch (sub) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            bits = 8;
            break;
        case SF_FORMAT_PCM_16:
            bits = 16;
            break;
        case SF_FORMAT_PCM_24:
            bits = 24;
            break;
        case SF_FORMAT_PCM_32:
            bits = 32;
            break;
        case SF_FORMAT_FLOAT:
            bits = 32 | BASS_ORIGRES_FLOAT;
            break;
        default:
            break;
    }
    const bool wave = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX;
    if (bits == 0 || !(wave || major == SF_FORMAT_AIFF) || info.samplerate <= 0 || info.channels <= 0 ||
        info.channels > kMaxChannels || info.frames < 0) {
        sf_close(sf);
        return nullptr;
    }
    auto dec = std::make_unique<SndfileDecoder>(sf, info);
    dec->rate = static_cast<DWORD>(info.samplerate);
    dec->chans = static_cast<DWORD>(info.channels);
    dec->origres = bits;
    if (!wave) {
        dec->ctype = BASS_CTYPE_STREAM_AIFF;
    } else {
        dec->ctype = sub == SF_FORMAT_FLOAT ? BASS_CTYPE_STREAM_WAV_FLOAT : BASS_CTYPE_STREAM_WAV_PCM;
    }
    return dec;
}

}  // namespace bass
