// The CDDB side of a disc: its disc id and "cddb query" arguments, and the lookup of its record on a CDDB
// server over HTTP. A lookup runs while the program waits for it, so it is bounded in time and size, never
// follows a redirect and speaks plain HTTP only; every outcome is remembered for the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/basscd/disc.h"

namespace basscd {

// The disc id as CDDB computes it from the track start times and the lead-out (data tracks included).
uint32_t CddbDiscId(const Toc& toc);

// "discid ntracks lba1 ... lbaN seconds": the arguments of "cddb query".
std::string CddbQueryArguments(const Toc& toc);

struct CddbLimits {
    long connectMs = 5000;  // to reach the server
    long totalMs = 10000;   // the query and the read together
    size_t maxReply = 1 << 20;
};

// The limits of every later lookup (tests shorten them).
void SetCddbLimits(const CddbLimits& limits);

// Queries `server` ("host:port/path") for the disc and reads its first match. Answers the read reply as
// UTF-8 (a reply that is not valid UTF-8 is taken as ISO-8859-1), or "" when the server knows no match or
// cannot be reached. The answer for one server and disc is fetched once per run.
std::string CddbLookup(const std::string& server, const std::string& queryArguments);

// The text as UTF-8: unchanged when it is valid UTF-8, else each byte read as ISO-8859-1.
std::string ToUtf8(const std::string& text);

}  // namespace basscd
