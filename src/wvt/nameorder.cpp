// Natural name order for folder scans.
#include "wvt/nameorder.h"

#include <cstddef>
#include <cstdint>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Next code point of UTF-8 `text` at `at`, advancing `at`. A byte that does not start a valid sequence
// stands for itself above the Unicode range, so such names still order consistently.
char32_t NextCodePoint(std::string_view text, size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return 0x110000u + lead;
    }
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return 0x110000u + lead;
        }
        value = value << 6 | (next & 0x3F);
    }
    at += length;
    return value;
}

// Lower case for the scripts file names are mostly written in: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic. Other letters compare as they are.
char32_t Fold(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        // Pairs of upper and lower case; the run 0x139-0x148 and 0x179-0x17E start on odd code points.
        const bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (c == 0x178) return 0xFF;
        return ((c & 1) == (oddFirst ? 1u : 0u)) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

// Compares the digit runs starting at `a[i]` and `b[j]` by value and moves both past them. Answers <0, 0 or
// >0; `zerosA`/`zerosB` receive the leading zeros, which only break ties later.
int CompareNumbers(std::string_view a, size_t& i, std::string_view b, size_t& j, size_t& zerosA,
                   size_t& zerosB) {
    const size_t startA = i, startB = j;
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    zerosA = i - startA;
    zerosB = j - startB;
    const size_t digitsA = i, digitsB = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    const size_t lengthA = i - digitsA, lengthB = j - digitsB;
    if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
    const int order = a.substr(digitsA, lengthA).compare(b.substr(digitsB, lengthB));
    return order;
}

}  // namespace

bool NameLess(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    // The first difference that is only a matter of leading zeros, kept for a tie at the end.
    int zerosOrder = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t zerosA = 0, zerosB = 0;
            const int order = CompareNumbers(a, i, b, j, zerosA, zerosB);
            if (order != 0) return order < 0;
            if (zerosOrder == 0 && zerosA != zerosB) zerosOrder = zerosA < zerosB ? -1 : 1;
            continue;
        }
        const char32_t ca = Fold(NextCodePoint(a, i));
        const char32_t cb = Fold(NextCodePoint(b, j));
        if (ca != cb) return ca < cb;
    }
    if ((i < a.size()) != (j < b.size())) return j < b.size();  // a prefix comes first
    if (zerosOrder != 0) return zerosOrder < 0;
    return a < b;
}
