// TMODReader: tracker modules (MOD, XM, IT, S3M) rendered to 16-bit PCM through BASS's music support at the
// rate BASS was initialised with.
#include <cmath>

#include "platform/bass/bass.h"
#include "decoder/reader.h"
#include "decoder/sources.h"
#include "decoder/decoder_util.h"

using decoder_util::SaturateToInt;

namespace {

constexpr DWORD kMusicFlags = 0x80220000;  // Unicode name, decode only, prescan
constexpr size_t kBufferSize = 131072;

class TMODReader final : public TDecoder {
  public:
    explicit TMODReader(const std::string& fileName) : TDecoder(fileName) {
        buffer_ = std::make_unique<uint8_t[]>(kBufferSize);
        progress_ = 0;
        valid_ = true;

        handle_ = BASS_MusicLoad(FALSE, FileName_.c_str(), 0, 0, kMusicFlags, 0);
        if (handle_ == 0) valid_ = false;

        // Some modules have no determinable length; they stay valid and render until BASS stops.
        length_ = static_cast<int64_t>(BASS_ChannelGetLength(handle_, BASS_POS_BYTE));

        if (!BASS_ChannelGetInfo(handle_, &info_)) info_ = BASS_CHANNELINFO{};
        channels_ = static_cast<int>(info_.chans);
        if (info_.chans > 2) valid_ = false;
        bits_ = 16;

        if (!BASS_ChannelGetAttribute(handle_, BASS_ATTRIB_FREQ, &rate_)) rate_ = 0.0f;
        sampleRate_ = SaturateToInt(std::trunc(rate_));

        duration_ =
            SaturateToInt(std::trunc(BASS_ChannelBytes2Seconds(handle_, static_cast<QWORD>(length_))));
        // Without a length the factor stays 0, so progress reads 0 rather than overflowing.
        progressFactor_ = length_ > 0 ? 100.0f / static_cast<float>(length_) : 0.0f;
        bytesRead_ = 0;
    }

    ~TMODReader() override {
        buffer_.reset();
        if (handle_ != 0) BASS_MusicFree(handle_);
    }

    std::string GetFormatText() const override {
        std::string ext = ExtractFileExt(FileName_);
        if (!ext.empty()) ext.erase(0, 1);
        return decoder_util::UpperAscii(ext) + " " + std::to_string(sampleRate_) + " Hz/" +
               std::to_string(channels_) + " Ch";
    }
    int GetDuration() const override { return duration_; }

    int ReadBlock(const uint8_t*& data, uint32_t& count) override {
        data = nullptr;
        count = 0;
        const int64_t got = decoder_util::ReadHostBlock(handle_, buffer_.get());
        if (got < 0) return 1;
        count = static_cast<uint32_t>(got);
        bytesRead_ += got;
        progress_ = SaturateToInt(std::trunc(static_cast<double>(bytesRead_) * progressFactor_));
        data = buffer_.get();
        return 0;
    }

    int GetProgress() const override { return progress_; }
    int GetChannels() const override { return channels_; }
    int GetSampleRate() const override { return sampleRate_; }
    int GetBitsPerSample() const override { return bits_; }
    int GetSampleFormat() const override { return SAMPLE_FORMAT_16BIT; }
    bool IsValid() const override { return valid_; }
    uint16_t GetFormatTag() const override { return WAVE_FORMAT_PCM; }

    // Restarting from the top keeps the interface's contract for every source, so no caller can hit an
    // unprovided operation.
    void Rewind() override {
        BASS_ChannelSetPosition(handle_, 0, BASS_POS_BYTE);
        progress_ = 0;
        bytesRead_ = 0;
    }

    const char* ClassName() const override { return "TMODReader"; }

  private:
    std::unique_ptr<uint8_t[]> buffer_;
    float rate_ = 0.0f;
    BASS_CHANNELINFO info_{};
    int64_t length_ = 0;
    uint64_t bytesRead_ = 0;
    float progressFactor_ = 0.0f;
    int progress_ = 0;
    int channels_ = 0;
    int sampleRate_ = 0;
    int duration_ = 0;
    int bits_ = 16;
    bool valid_ = false;
    uint32_t handle_ = 0;
};

class TMODReaderClassType final : public DecoderClass {
  public:
    constexpr TMODReaderClassType() : DecoderClass("TMODReader") {}
    bool GetFormats(TFormats& formats) const override {
        formats = {{"Tracker Music Files", ".mod"},
                   {"Tracker Music Files", ".xm"},
                   {"Tracker Music Files", ".it"},
                   {"Tracker Music Files", ".s3m"}};
        return true;
    }
    std::unique_ptr<TDecoder> CreateFromFile(const std::string& fileName) const override {
        return std::make_unique<TMODReader>(fileName);
    }
    // Create is not provided: modules are not streams, so the base answer (EAbstractError) stands.
};

const TMODReaderClassType kClass;

}  // namespace

const DecoderClass& TMODReaderClass = kClass;
