// The C interface of libmp4v2.so, Wavetrove's MP4 file writer: create a file, add one AAC or ALAC audio
// track, write its samples, optionally set the track's edit and freeform metadata items, close. The file is
// created by the create call; the movie and every item are written by MP4Close.
#pragma once

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(MP4V2_BUILDING)
#define MP4V2_API __attribute__((visibility("default")))
#else
#define MP4V2_API
#endif

typedef void* MP4FileHandle;
typedef uint32_t MP4TrackId;
typedef uint32_t MP4EditId;
typedef uint64_t MP4Duration;
typedef uint64_t MP4Timestamp;

#define MP4_INVALID_FILE_HANDLE ((MP4FileHandle)0)
#define MP4_INVALID_TRACK_ID ((MP4TrackId)0)
#define MP4_INVALID_EDIT_ID ((MP4EditId)0)
// The audio type of an MPEG-4 audio (AAC) track.
#define MP4_MPEG4_AUDIO_TYPE 0x40

// Creates `fileName` (UTF-8); null when it cannot be created, leaving nothing behind. `flags` must be 0.
MP4V2_API MP4FileHandle MP4Create(const char* fileName, uint32_t flags);
MP4V2_API MP4FileHandle MP4CreateEx2(const char* fileName);
// The movie's time scale (ticks per second); by default the audio track's sample rate.
MP4V2_API bool MP4SetTimeScale(MP4FileHandle file, uint32_t timeScale);
// An MPEG-4 audio track whose time scale is its sample rate; its configuration follows with
// MP4SetTrackESConfiguration.
MP4V2_API MP4TrackId MP4AddAudioTrack(MP4FileHandle file, uint32_t timeScale, MP4Duration sampleDuration,
                                      uint8_t audioType);
// An Apple Lossless track described by its 24-byte magic cookie (rate, channels and depth come from it).
MP4V2_API MP4TrackId MP4AddAlacAudioTrack(MP4FileHandle file, const uint8_t* cookie, uint32_t cookieSize);
// Accepted and ignored: the profile follows from the track's configuration.
MP4V2_API bool MP4SetAudioProfileLevel(MP4FileHandle file, uint8_t value);
// The decoder configuration of an MPEG-4 audio track (its AudioSpecificConfig).
MP4V2_API bool MP4SetTrackESConfiguration(MP4FileHandle file, MP4TrackId track, const uint8_t* config,
                                          uint32_t configSize);
// Appends one sample lasting `duration` ticks of the track's time scale; false when it could not be
// written (the file is then unusable). Only sync samples without a rendering offset are supported.
MP4V2_API bool MP4WriteSample(MP4FileHandle file, MP4TrackId track, const uint8_t* bytes, uint32_t numBytes,
                              MP4Duration duration, MP4Duration renderingOffset, bool isSyncSample);
// The track's one edit: presentation starts `startTime` ticks into the media and lasts to the end of the
// last sample. Must come before the first sample; answers the edit's id (1), or MP4_INVALID_EDIT_ID.
MP4V2_API MP4EditId MP4AddTrackEdit(MP4FileHandle file, MP4TrackId track, MP4EditId editId,
                                    MP4Timestamp startTime, MP4Duration duration, bool dwell);
// A freeform item `----:<owner>:<name>` with a UTF-8 text value, written when the file is closed.
MP4V2_API bool MP4SetMetadataFreeForm(MP4FileHandle file, const char* name, const uint8_t* value,
                                      uint32_t valueSize, const char* owner);
// Writes the movie and the items and closes the file; false when any of it, or any sample before, could
// not be written. The handle is gone either way.
MP4V2_API bool MP4Close(MP4FileHandle file, uint32_t flags);

#ifdef __cplusplus
}
#endif
