// TCDA2Reader: one track of an audio CD (a drive or a BIN/CUE image), read through the CD add-on as 16-bit
// PCM and tagged from the disc's CDDB record, which is looked up once per disc and kept for the run.
#pragma once

#include "decoder/bass.h"
#include "decoder/cddb.h"

class TCDA2Reader final : public TBASSReaderu {
  public:
    explicit TCDA2Reader(const std::string& fileName, bool floatOutput = false);

    std::string GetFormatText() const override { return "Audio CD Track"; }
    // Raises when the track ends before all its sectors were read: paranoia could not cure a read error
    // (a scratched or removed disc, an image whose BIN is cut short).
    int ReadBlock(const uint8_t*& data, uint32_t& count) override;
    void GetTags(TagFrame& tags) const override;
    const char* ClassName() const override { return "TCDA2Reader"; }

    int Drive() const { return drive_; }
    int Track() const { return track_; }

  private:
    int drive_ = 0;
    int track_ = 0;
};

// The process-wide cache of CDDB records the CD sources fill (main thread only).
TCDDBParser& CDDBCache();

// A reply split into lines at LF, a CR before the LF dropped (servers end lines either way).
std::vector<std::string> SplitReplyLines(const std::string& reply);
