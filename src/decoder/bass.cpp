// TBASSReaderu: any file BASS or one of its add-ons opens as a stream, delivered in blocks of at most
// 8192 bytes as 32-bit float or 16-bit PCM.
#include "decoder/bass.h"

#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "decoder/decoder_util.h"

using decoder_util::SaturateToInt;

TBASSReaderu::TBASSReaderu(const std::string& fileName, bool floatOutput) : TDecoder(fileName) {
    buffer_ = std::make_unique<uint8_t[]>(kBufferSize);
    progress_ = 0;
    valid_ = true;
    floatOutput_ = floatOutput;

    handle_ = BASS_StreamCreateFile(FALSE, FileName_.c_str(), 0, 0, floatOutput ? kFlagsFloat : kFlags16Bit);
    if (handle_ == 0) valid_ = false;

    // The host answers a QWORD; an error comes back as all ones, which must read as -1, not as a huge length.
    length_ = static_cast<int64_t>(BASS_ChannelGetLength(handle_, BASS_POS_BYTE));
    if (length_ <= 0) valid_ = false;

    if (!BASS_ChannelGetInfo(handle_, &info_)) info_ = BASS_CHANNELINFO{};
    channels_ = static_cast<int>(info_.chans);
    channelType_ = info_.ctype;
    sampleRate_ = static_cast<int>(info_.freq);
    if (info_.chans > 2) valid_ = false;

    if (floatOutput)
        bits_ = (info_.origres >= 1 && info_.origres <= 32) ? static_cast<int>(info_.origres) : 32;
    else
        bits_ = 16;

    duration_ = SaturateToInt(std::trunc(BASS_ChannelBytes2Seconds(handle_, static_cast<QWORD>(length_))));
    // An unusable length leaves the factor at 0 so progress stays 0 instead of overflowing.
    progressFactor_ = length_ > 0 ? 100.0f / static_cast<float>(length_) : 0.0f;
    bytesRead_ = 0;
}

TBASSReaderu::~TBASSReaderu() {
    buffer_.reset();
    if (handle_ != 0) BASS_StreamFree(handle_);
}

int TBASSReaderu::ReadBlock(const uint8_t*& data, uint32_t& count) {
    data = nullptr;
    count = 0;
    const int64_t got = decoder_util::ReadHostBlock(handle_, buffer_.get());
    if (got < 0) return 1;
    count = static_cast<uint32_t>(got);
    bytesRead_ += got;
    progress_ = SaturateToInt(std::nearbyint(static_cast<double>(bytesRead_) * progressFactor_));
    data = buffer_.get();
    return 0;
}

bool TBASSReaderu::DeliverInt32() {
    // Float sources only: 16-bit sources already deliver integers. The input must store integers.
    if (!valid_ || !floatOutput_ || int32Output_ || bytesRead_ != 0) return false;
    if (info_.origres < 1 || info_.origres > 32) return false;
    const HSTREAM integers = BASS_StreamCreateFile(FALSE, FileName_.c_str(), 0, 0, kFlagsInt32);
    if (integers == 0) return false;
    // The same stream, only in another sample type: anything else and the float one stays.
    BASS_CHANNELINFO info{};
    const bool same = BASS_ChannelGetInfo(integers, &info) && info.freq == info_.freq &&
                      info.chans == info_.chans && info.origres == info_.origres &&
                      static_cast<int64_t>(BASS_ChannelGetLength(integers, BASS_POS_BYTE)) == length_;
    if (!same) {
        BASS_StreamFree(integers);
        return false;
    }
    BASS_StreamFree(handle_);
    handle_ = integers;
    int32Output_ = true;
    return true;
}

uint16_t TBASSReaderu::GetFormatTag() const {
    // 32 bits means float only when the input is float or states no depth; a 32-bit integer input stays
    // integer, so writers asked to keep the original format don't turn it into float.
    const bool integerInput = info_.origres >= 1 && info_.origres <= 32;
    return (floatOutput_ && bits_ == 32 && !integerInput) ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
}

void TBASSReaderu::Rewind() {
    BASS_ChannelSetPosition(handle_, 0, BASS_POS_BYTE);
    progress_ = 0;
    bytesRead_ = 0;
}

std::string TBASSReaderu::GetFormatText() const {
    std::string ext = ExtractFileExt(FileName_);
    if (!ext.empty()) ext.erase(0, 1);
    return decoder_util::UpperAscii(ext) + " " + std::to_string(sampleRate_) + " Hz/" +
           std::to_string(channels_) + " Ch";
}

std::string TBASSReaderu::GetCodecName() const {
    // Streams of the FFmpeg add-on carry 0xF8000000 plus FFmpeg's codec id as their channel type.
    if ((channelType_ >> 24) == 0xF8) {
        const auto id = static_cast<AVCodecID>(channelType_ & 0xFFFFFF);
        const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
        if (descriptor && descriptor->long_name) return descriptor->long_name;
        const char* name = avcodec_get_name(id);
        return name ? name : "";
    }
    return TDecoder::GetCodecName();
}
