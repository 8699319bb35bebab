// The writer skeleton's shared parts: the format choice and the writer of a missing encoder library.
#include "encoder/writer_class.h"

#include <vector>

WAVEFORMATEX ChooseFormat(const FormatRule& rule, const WAVEFORMATEX& source, const config& settings) {
    uint32_t rate = rule.fixedRate != 0 ? rule.fixedRate : source.nSamplesPerSec;
    if (rule.rate) {
        const int chosen = rule.rate->Value(settings);
        if (chosen != 0) {
            rate = static_cast<uint32_t>(chosen);
        } else if (rule.nearestRate) {
            std::vector<int> listed;
            for (const Choice& choice : rule.rate->choices)
                if (choice.value != 0) listed.push_back(choice.value);
            rate =
                static_cast<uint32_t>(listed[NearestEntry(listed, static_cast<int>(source.nSamplesPerSec))]);
        }
    }
    uint16_t channels = rule.fixedChannels != 0 ? rule.fixedChannels : source.nChannels;
    if (rule.mode) {
        const int chosen = rule.mode->Value(settings);
        if (chosen != 0) {
            channels = static_cast<uint16_t>(chosen);
        } else if (rule.maxChannels != 0 && channels > rule.maxChannels) {
            channels = rule.maxChannels;
        }
    }
    const uint16_t bits =
        rule.depths.empty()
            ? rule.bits
            : static_cast<uint16_t>(rule.depths[NearestEntry(rule.depths, source.wBitsPerSample)]);
    return MakeWaveFormat(rule.formatTag, rate, channels, bits);
}

UnavailableWriter::UnavailableWriter(const WriterSetup& setup) : Tencoder(setup) {
    throw EEncoderError(kEncoderLibraryMissing);
}
