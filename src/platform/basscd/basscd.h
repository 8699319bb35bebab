/* Public C interface of the CD add-on libbasscd.so: audio CD tracks of drives and BIN/CUE images as
 * decode-only streams, their CDDB identity and records. A track is named "<device or .cue>/TrackNN.cda";
 * BASS_StreamCreateFile opens such names through the add-on once it is loaded. */
#pragma once

#include "platform/bass/bass.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes of the CD calls, beside the host's */
#define BASS_ERROR_NOCD 12    /* no disc in the drive, or an image that cannot be read */
#define BASS_ERROR_CDTRACK 13 /* no such track */
#define BASS_ERROR_DEVICE 23  /* no such drive */
#define BASS_ERROR_NOTAUDIO 42

/* BASS_CD_GetID requests */
#define BASS_CDID_CDDB 2          /* "discid ntracks lba... seconds", the arguments of "cddb query" */
#define BASS_CDID_CDDB_READ 0x201 /* the CDDB server's read reply for the disc's first match, or "" */

typedef struct BASS_CD_INFO {
    const char* vendor; /* empty for images and drives that do not say */
    const char* product;
    const char* rev;
    const char* path; /* the device or the cue sheet */
    BOOL image;
} BASS_CD_INFO;

/* Table of contents (BASS_CD_GetTOC): one entry per track, then the lead-out (track 0xAA). Addresses are
 * sectors counted from the first track's start (LSN). */
#define BASS_CD_TOC_LBA 0
#define BASS_CD_TOC_CON_DATA 4 /* adrcon bit of a data track */
typedef struct BASS_CD_TOC_TRACK {
    BYTE res1;
    BYTE adrcon;
    BYTE track;
    BYTE res2;
    DWORD lba;
} BASS_CD_TOC_TRACK;
typedef struct BASS_CD_TOC {
    WORD size; /* bytes of the entries in use plus 2 */
    BYTE first;
    BYTE last;
    BASS_CD_TOC_TRACK tracks[100];
} BASS_CD_TOC;

/* Drives are numbered from 0: the system's CD devices first, then devices and images in the order they are
 * first named. The strings stay valid until the calling thread's next call. */
BOOL BASS_CD_GetInfo(DWORD drive, BASS_CD_INFO* info);
/* The number of the device or cue sheet at `path` (given one when new), or -1 with BASS_ERROR_DEVICE. */
int BASS_CD_FindDrive(const char* path);
BOOL BASS_CD_IsReady(DWORD drive);    /* a readable disc is in the drive */
DWORD BASS_CD_GetTracks(DWORD drive); /* -1 when there is no disc */
/* Bytes of 16-bit stereo PCM of a track (from 0); -1 with BASS_ERROR_NOTAUDIO for a data track. */
DWORD BASS_CD_GetTrackLength(DWORD drive, DWORD track);
const char* BASS_CD_GetID(DWORD drive, DWORD id);
BOOL BASS_CD_GetTOC(DWORD drive, DWORD mode, BASS_CD_TOC* toc);

HSTREAM BASS_CD_StreamCreate(DWORD drive, DWORD track, DWORD flags);
HSTREAM BASS_CD_StreamCreateFile(const char* file, DWORD flags);
/* Low 16 bits the track index (0 = first), high 16 bits the drive; -1 for other handles. */
DWORD BASS_CD_StreamGetTrack(HSTREAM handle);

/* Limits of CDDB lookups: connecting, the query and read together, the size of one reply. Defaults 5000 ms,
 * 10000 ms and 1 MiB. */
BOOL BASS_CD_SetCddbLimits(DWORD connectMs, DWORD totalMs, DWORD maxReplyBytes);

#ifdef __cplusplus
}
#endif
