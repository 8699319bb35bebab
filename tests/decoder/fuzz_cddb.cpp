// Fuzz entry point: any bytes as a CDDB reply, split into lines and parsed with and without a status line
// into one parser that accumulates, as the CD source's cache does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decoder/cda.h"
#include "decoder/cddb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TCDDBParser parser;
    const std::string reply(reinterpret_cast<const char*>(data), size);
    for (bool status : {true, false}) {
        try {
            parser.Parse(SplitReplyLines(reply), status);
        } catch (const ECDDBParser&) {
        }
    }
    for (size_t i = 0; i < parser.Disks().Count(); ++i) {
        const TCDDisk& disk = parser.Disks()[i];
        (void)disk.DiscID();
        for (size_t t = 0; t < disk.Tracks.Count(); ++t) (void)disk.Tracks[t].Performer();
    }
    return 0;
}
