// Fuzz entry for playlist reading: any bytes must decode and parse without fault, and text with a UTF-16
// byte-order mark must always come out as well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "wvt/playlist.h"

namespace {

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80           ? 1
                              : (c >> 5) == 0x6  ? 2
                              : (c >> 4) == 0xE  ? 3
                              : (c >> 3) == 0x1E ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = DecodePlaylistText(bytes);
    if (bytes.size() >= 2 &&
        ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
        if (!IsUtf8(text)) __builtin_trap();
    M3UFiles(bytes, "/nonexistent-wavetrove-folder/");
    PLSFiles(bytes, "/nonexistent-wavetrove-folder/");
    return 0;
}
