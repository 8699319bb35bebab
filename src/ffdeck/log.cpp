// FFmpeg's own log: silent unless WAVETROVE_FFMPEG_LOG names a level. A damaged file would otherwise fill
// the console with dozens of library lines per file; the add-on's own diagnostics are not affected.
extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace ffdeck {

namespace {

struct NamedLevel {
    const char* name;
    int level;
};

constexpr NamedLevel kLevels[] = {
    {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
    {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
    {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},     {"trace", AV_LOG_TRACE},
};

// Runs when the host loads the add-on, before any file is opened through FFmpeg.
__attribute__((constructor)) void SetFFmpegLogLevel() {
    const char* wanted = std::getenv("WAVETROVE_FFMPEG_LOG");
    int level = AV_LOG_QUIET;
    if (wanted && *wanted) {
        bool known = false;
        for (const NamedLevel& entry : kLevels) {
            if (strcasecmp(wanted, entry.name) == 0) {
                level = entry.level;
                known = true;
            }
        }
        if (!known)
            std::fprintf(
                stderr,
                "WAVETROVE_FFMPEG_LOG=%s is not a level (quiet, error, warning, info, debug): FFmpeg's "
                "log stays off\n",
                wanted);
    }
    av_log_set_level(level);
}

}  // namespace

}  // namespace ffdeck
