// AAC writer: 16-bit PCM gathered into whole frames and encoded to AAC-LC by fdk-aac; each frame, its ADTS
// header dropped, is one sample of an MP4 audio track. The track is gapless: its edit skips the encoder's
// delay and ends on the last source sample, and an iTunSMPB item tells players the same. Without fdk-aac
// in the build the writer reports its library missing.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

#if WAVETROVE_HAVE_FDKAAC
#include <cstdio>
#include <memory>
#include <vector>

#include "bindings/aacenc_lib.h"
#include "encoder/m4a.h"
#endif

namespace {

constexpr Choice kBitrates[] = {{"320", 320}, {"256", 256}, {"192", 192}, {"160", 160}, {"128", 128},
                                {"112", 112}, {"96", 96},   {"80", 80},   {"64", 64},   {"56", 56},
                                {"48", 48},   {"44", 44},   {"32", 32},   {"16", 16},   {"12", 12}};
constexpr OptionRow kRows[] = {
    // "Same As Original" takes the listed rate nearest to the source's.
    RateRow(&config::aacsamplerate),
    ModeRow(&config::aacmode),
    // 128 kbit/s for a stored index outside the list.
    ListRow("Label2", "Bitrate:", "bitratebox", &config::aacbitrate, kBitrates, 4),
};
// The encoder takes one or two channels.
constexpr FormatRule kFormat = {.rate = &kRows[0], .nearestRate = true, .mode = &kRows[1], .maxChannels = 2};
constexpr WriterFacts kFacts = {
    .name = "AACwriter",
    .description = "AAC  - MPEG4 Advanced Audio Coding",
    .extension = "m4a",
    .filter = "MPEG4 AAC Audio (*.m4a)|*.m4a",
    .dialog = {.caption = "AAC Encoder Options", .object = "aacEncoderForm", .rows = kRows},
    .format = &kFormat};

#if WAVETROVE_HAVE_FDKAAC

constexpr UINT kAacLc = 2;      // AOT_AAC_LC
constexpr UINT kWaveOrder = 1;  // channels in WAVE order
constexpr UINT kAdts = 2;       // TT_MP4_ADTS
constexpr int kAdtsHeader = 7;  // without CRC, as the encoder writes it

class AacEncoder {
  public:
    ~AacEncoder() {
        if (handle_) aacEncClose(&handle_);
    }
    HANDLE_AACENCODER* address() { return &handle_; }
    HANDLE_AACENCODER get() const { return handle_; }

  private:
    HANDLE_AACENCODER handle_ = nullptr;
};

class AACwriter : public Tencoder {
  public:
    explicit AACwriter(const WriterSetup& setup) : Tencoder(setup) {
        const WAVEFORMATEX& format = setup.input;
        const uint32_t rate = format.nSamplesPerSec;
        output_.resize(size_t{16} * rate);
        if (aacEncOpen(encoder_.address(), 0, 2) != AACENC_OK) throw EEncoderError(kAacOpenFailed);
        HANDLE_AACENCODER encoder = encoder_.get();
        const struct {
            AACENC_PARAM parameter;
            UINT value;
            const char* message;
        } parameters[] = {
            {AACENC_AOT, kAacLc, kAacAotFailed},
            {AACENC_SAMPLERATE, rate, kAacSampleRateFailed},
            {AACENC_CHANNELMODE, format.nChannels, kAacChannelModeFailed},
            {AACENC_CHANNELORDER, kWaveOrder, kAacChannelOrderFailed},
            {AACENC_BITRATE, static_cast<UINT>(kRows[2].Value(setup.settings)) * 1000, kAacBitrateFailed},
            {AACENC_TRANSMUX, kAdts, kAacTransmuxFailed},
            {AACENC_AFTERBURNER, 1, kAacAfterburnerFailed},
        };
        for (const auto& p : parameters)
            if (aacEncoder_SetParam(encoder, p.parameter, p.value) != AACENC_OK)
                throw EEncoderError(p.message);
        if (aacEncEncode(encoder, nullptr, nullptr, nullptr, nullptr) != AACENC_OK)
            throw EEncoderError(kAacInitFailed);
        if (aacEncInfo(encoder, &info_) != AACENC_OK) throw EEncoderError(kAacInfoFailed);
        samplesPerFrame_ = format.nChannels * info_.frameLength;
        staging_ = std::make_unique<Staging>(rate, 2 * samplesPerFrame_);

        file_.Reset(MP4Create(setup.fileName.c_str(), 0));
        if (!file_.get()) throw EEncoderError(kMp4CreateFailed);
        // The movie counts in samples, as the track does, so the edit's length is exact for every length.
        MP4SetTimeScale(file_.get(), rate);
        track_ = MP4AddAudioTrack(file_.get(), rate, info_.frameLength, MP4_MPEG4_AUDIO_TYPE);
        MP4SetAudioProfileLevel(file_.get(), 2);
        MP4SetTrackESConfiguration(file_.get(), track_, info_.confBuf, info_.confSize);
        // Presentation starts after the encoder's delay.
        MP4AddTrackEdit(file_.get(), track_, MP4_INVALID_EDIT_ID, info_.nDelay, 0, false);
        ready_ = true;
    }

    int Write(const uint8_t* block, uint32_t length) override {
        if (!ready_) return 0;
        sourceFrames_ += length / (2 * InputFormat().nChannels);
        staging_->Add(block, length, [this](uint8_t* frame) { EncodeFrame(frame, samplesPerFrame_); });
        return 0;
    }

  protected:
    // The last partial frame padded with silence, then the frames the encoder still holds, then the movie
    // and the gapless item: anything that cannot be written (a full disk) fails the file.
    void Complete() override {
        if (ready_) {
            ready_ = false;
            flushing_ = true;
            if (staging_->Pending() > 0) {
                const size_t frameBytes = size_t{2} * samplesPerFrame_;
                std::memset(staging_->Data() + staging_->Pending(), 0, frameBytes - staging_->Pending());
                EncodeFrame(staging_->Data(), samplesPerFrame_);
                staging_->Clear();
            }
            while (EncodeFrame(nullptr, -1)) {
            }
            const std::string smpb = GaplessInfo();
            MP4SetMetadataFreeForm(file_.get(), "iTunSMPB", reinterpret_cast<const uint8_t*>(smpb.data()),
                                   static_cast<uint32_t>(smpb.size()), "com.apple.iTunes");
        }
        if (!file_.Close()) throw EEncoderError(kDataWriteError);
    }

  private:
    // Encodes `count` samples from `pcm` (-1: the end of the stream) and writes the frame it produced;
    // true when the encoder answered OK.
    bool EncodeFrame(uint8_t* pcm, int count) {
        void* inBuffer = pcm;
        INT inIdentifier = IN_AUDIO_DATA;
        INT inSize = count > 0 ? count * 2 : 0;
        INT inElementSize = 2;
        void* outBuffer = output_.data();
        INT outIdentifier = OUT_BITSTREAM_DATA;
        INT outSize = static_cast<INT>(output_.size());
        INT outElementSize = 1;
        AACENC_BufDesc in = {1, &inBuffer, &inIdentifier, &inSize, &inElementSize};
        AACENC_BufDesc out = {1, &outBuffer, &outIdentifier, &outSize, &outElementSize};
        AACENC_InArgs inArgs = {count, 0};
        AACENC_OutArgs outArgs = {};
        const bool ok = aacEncEncode(encoder_.get(), &in, &out, &inArgs, &outArgs) == AACENC_OK;
        if (outArgs.numOutBytes > kAdtsHeader) {
            // Packet n holds presentation time n·frame − delay onwards; once the source's length is known,
            // the one holding its last sample ends there, so the track ends on that sample.
            const int64_t start = packets_ * info_.frameLength - static_cast<int64_t>(info_.nDelay);
            int64_t duration = info_.frameLength;
            if (flushing_) duration = std::clamp<int64_t>(sourceFrames_ - start, 0, info_.frameLength);
            ++packets_;
            if (!MP4WriteSample(file_.get(), track_, output_.data() + kAdtsHeader,
                                static_cast<uint32_t>(outArgs.numOutBytes - kAdtsHeader),
                                static_cast<MP4Duration>(duration), 0, true)) {
                throw EEncoderError(kDataWriteError);
            }
        }
        return ok;
    }

    // Priming, padding and length as players read them: upper-case hexadecimal after a zero group and
    // before eight more.
    std::string GaplessInfo() const {
        const int64_t priming = info_.nDelay;
        const int64_t padding = packets_ * info_.frameLength - priming - sourceFrames_;
        char text[160];
        std::snprintf(text, sizeof text,
                      " 00000000 %08X %08X %016llX 00000000 00000000 00000000 00000000 00000000 00000000 "
                      "00000000 00000000",
                      static_cast<unsigned>(priming), static_cast<unsigned>(std::max<int64_t>(padding, 0)),
                      static_cast<unsigned long long>(sourceFrames_));
        return text;
    }

    // The file is closed after the encoder.
    Mp4File file_;
    AacEncoder encoder_;
    AACENC_InfoStruct info_{};
    int samplesPerFrame_ = 0;
    std::unique_ptr<Staging> staging_;
    std::vector<uint8_t> output_;
    MP4TrackId track_ = MP4_INVALID_TRACK_ID;
    int64_t sourceFrames_ = 0;
    int64_t packets_ = 0;
    bool ready_ = false;
    bool flushing_ = false;
};

const WriterClass<AACwriter> kClass(kFacts);

#else

const WriterClass<UnavailableWriter> kClass(kFacts);

#endif

}  // namespace

const EncoderClass& AACwriterClass = kClass;
