// Disc ids and CDDB lookups over libcurl; see cddb_query.h.
#include "platform/basscd/cddb_query.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#ifndef WAVETROVE_VERSION
#define WAVETROVE_VERSION "0"
#endif

namespace basscd {
namespace {

constexpr long kFramesPerSecond = 75;
constexpr long kLeadIn = 150;  // sectors before LSN 0: addresses on the disc count from there

std::mutex gLookupLock;
CddbLimits gLimits;
std::map<std::string, std::string> gAnswers;

int DigitSum(long n) {
    int sum = 0;
    for (; n > 0; n /= 10) sum += static_cast<int>(n % 10);
    return sum;
}

struct Reply {
    std::string body;
    size_t limit = 0;
    bool tooLarge = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    auto* reply = static_cast<Reply*>(user);
    const size_t n = size * count;
    if (reply->body.size() + n > reply->limit) {
        reply->tooLarge = true;
        return 0;  // makes libcurl stop with a write error
    }
    reply->body.append(data, n);
    return n;
}

void InitCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// One GET; false for a network failure, a timeout, a reply over the limit or an HTTP status other than 200.
bool Get(const std::string& url, long remainingMs, long connectMs, size_t limit, std::string& body) {
    if (remainingMs <= 0) return false;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) return false;
    Reply reply;
    reply.limit = limit;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs < remainingMs ? connectMs : remainingMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, remainingMs);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limit));
    // A proxy from the environment is used, except for this machine itself.
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Wavetrove/" WAVETROVE_VERSION);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK || reply.tooLarge || status != 200) return false;
    body = std::move(reply.body);
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// Category and disc id go back into a URL: only plain words are accepted from the server.
bool IsWord(const std::string& text) {
    if (text.empty() || text.size() > 64) return false;
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '_' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return true;
}

// "categ discid title..." → category and disc id.
bool SplitMatch(const std::string& line, std::string& category, std::string& discId) {
    const size_t a = line.find(' ');
    if (a == std::string::npos) return false;
    const size_t b = line.find(' ', a + 1);
    category = line.substr(0, a);
    discId = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    return IsWord(category) && IsWord(discId);
}

// The first match of a query reply: 200 names one, 210 (several exact) and 211 (close) list them.
bool FirstMatch(const std::string& reply, std::string& category, std::string& discId) {
    const std::vector<std::string> lines = Lines(reply);
    if (lines.empty() || lines[0].size() < 3) return false;
    const std::string code = lines[0].substr(0, 3);
    if (lines[0].size() > 3 && lines[0][3] != ' ') return false;
    if (code == "200") return SplitMatch(lines[0].size() > 4 ? lines[0].substr(4) : "", category, discId);
    if (code == "210" || code == "211") {
        for (size_t i = 1; i < lines.size() && lines[i] != "."; ++i)
            if (!lines[i].empty()) return SplitMatch(lines[i], category, discId);
    }
    return false;
}

std::string PlusForBlanks(std::string text) {
    for (char& c : text)
        if (c == ' ') c = '+';
    return text;
}

// The server text goes into a URL as it stands; blanks and control characters would make another request.
bool UsableServer(const std::string& server) {
    if (server.empty() || server.find("://") != std::string::npos) return false;
    for (unsigned char c : server)
        if (c <= ' ' || c == 0x7F || c == '?' || c == '#') return false;
    return true;
}

std::string Fetch(const std::string& server, const std::string& queryArguments) {
    if (!UsableServer(server)) return "";
    InitCurl();
    // The hello names the program, never the user or the machine.
    const std::string tail =
        std::string("&hello=anonymous+localhost+Wavetrove+") + WAVETROVE_VERSION + "&proto=6";
    const std::string base = "http://" + server + "?cmd=cddb+";
    const auto start = std::chrono::steady_clock::now();
    auto remaining = [&] {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        return gLimits.totalMs - static_cast<long>(spent);
    };
    std::string reply;
    if (!Get(base + "query+" + PlusForBlanks(queryArguments) + tail, remaining(), gLimits.connectMs,
             gLimits.maxReply, reply))
        return "";
    std::string category, discId;
    if (!FirstMatch(reply, category, discId)) return "";
    std::string record;
    if (!Get(base + "read+" + category + "+" + discId + tail, remaining(), gLimits.connectMs,
             gLimits.maxReply, record))
        return "";
    return ToUtf8(record);
}

}  // namespace

uint32_t CddbDiscId(const Toc& toc) {
    if (toc.tracks.empty()) return 0;
    int n = 0;
    for (const TocTrack& track : toc.tracks) n += DigitSum((track.lsn + kLeadIn) / kFramesPerSecond);
    const long t =
        (toc.leadout + kLeadIn) / kFramesPerSecond - (toc.tracks[0].lsn + kLeadIn) / kFramesPerSecond;
    return (static_cast<uint32_t>(n % 0xFF) << 24) | (static_cast<uint32_t>(t) << 8) |
           static_cast<uint32_t>(toc.tracks.size());
}

std::string CddbQueryArguments(const Toc& toc) {
    char id[16];
    std::snprintf(id, sizeof id, "%08x", CddbDiscId(toc));
    std::string text = std::string(id) + " " + std::to_string(toc.tracks.size());
    for (const TocTrack& track : toc.tracks) text += " " + std::to_string(track.lsn + kLeadIn);
    text += " " + std::to_string((toc.leadout + kLeadIn) / kFramesPerSecond);
    return text;
}

void SetCddbLimits(const CddbLimits& limits) {
    std::lock_guard lock(gLookupLock);
    gLimits = limits;
}

std::string CddbLookup(const std::string& server, const std::string& queryArguments) {
    // One lookup at a time, and each disc once: a dead or slow server costs one timeout per disc, not one per
    // track.
    std::lock_guard lock(gLookupLock);
    const std::string key = server + '\n' + queryArguments;
    auto known = gAnswers.find(key);
    if (known != gAnswers.end()) return known->second;
    std::string answer = Fetch(server, queryArguments);
    gAnswers.emplace(key, answer);
    return answer;
}

std::string ToUtf8(const std::string& text) {
    // Strict check: shortest forms only, no surrogates, nothing above U+10FFFF.
    bool valid = true;
    for (size_t i = 0; i < text.size() && valid;) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && c < 0xC2) || c > 0xF4) {
            valid = false;
            break;
        }
        uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            valid = false;
        i += length;
    }
    if (valid) return text;
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace basscd
