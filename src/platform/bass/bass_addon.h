/* The add-on side of libbass.so: the host function table `_` that add-ons call, the per-stream function
 * table an add-on hands back, and the entry point every add-on exports. */
#pragma once

#include "platform/bass/bass.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void* BASSFILE; /* a file opened by the host for an add-on */

/* Host file flags (entry 16). An input with any of BASSFILE_NOSEEK_MASK set cannot seek. */
#define BASSFILE_BUFFERED 0x1   /* read through a download/push buffer */
#define BASSFILE_BLOCK 0x80000  /* block streaming: no length, no seeking */
#define BASSFILE_RESTRATE 0x100000
#define BASSFILE_NOSEEK_MASK 0x180001

/* BASSFILE position modes (entry 20) */
#define BASS_FILEPOS_CURRENT 0
#define BASS_FILEPOS_SIZE 2

/* Per-stream functions of an add-on (constant, handed to entry 2). Absent entries are null. */
typedef struct ADDON_FUNCTIONS {
    DWORD flags;
    void (*Free)(void* inst);
    QWORD (*GetLength)(void* inst, DWORD mode);             /* (QWORD)-1 = unknown */
    const char* (*GetTags)(void* inst, DWORD tags);         /* null = none */
    QWORD (*GetFilePosition)(void* inst, DWORD mode);
    void (*GetInfo)(void* inst, BASS_CHANNELINFO* info);    /* may override the host's fields */
    BOOL (*CanSetPosition)(void* inst, QWORD pos, DWORD mode);
    QWORD (*SetPosition)(void* inst, QWORD pos, DWORD mode); /* (QWORD)-1 = failure */
    void* further[8];                                       /* reserved, must be null */
} ADDON_FUNCTIONS;

/* The host function table, exported by libbass.so as the data symbol `_`. Entries are numbered from 0;
 * unnamed entries are reserved and null. */
typedef struct BASS_FUNCTIONS {
    void (*SetError)(int error);                                                  /* 0 */
    void* reserved1;                                                              /* 1 */
    HSTREAM (*CreateStream)(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* inst,
                            const ADDON_FUNCTIONS* funcs);                        /* 2 */
    void* reserved3_9[7];                                                         /* 3..9 */
    BASSFILE (*OpenFile)(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags,
                         BOOL exclusive);                                         /* 10 */
    BASSFILE (*OpenURL)(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user,
                        BOOL exclusive);                                          /* 11 */
    BASSFILE (*OpenUser)(DWORD system, DWORD flags, const BASS_FILEPROCS* procs, void* user,
                         BOOL exclusive);                                         /* 12 */
    void (*Close)(BASSFILE file);                                                 /* 13 */
    const void* (*GetFileName)(BASSFILE file, BOOL* unicode);                     /* 14 */
    void* reserved15;                                                             /* 15 */
    DWORD (*GetFlags)(BASSFILE file);                                             /* 16 */
    void* reserved17;                                                             /* 17 */
    DWORD (*Read)(BASSFILE file, void* buffer, DWORD length);                     /* 18 */
    BOOL (*Seek)(BASSFILE file, QWORD pos);                                       /* 19 */
    QWORD (*GetPos)(BASSFILE file, DWORD mode);                                   /* 20 */
    void* reserved21_24[4];                                                       /* 21..24 */
    /* Converts `floatBytes` bytes of float samples at `src` to integers of `res` bytes each (1 or 2) at
     * `dst`, with the power-of-two factor, rounding and clipping. */
    void (*FloatToInt)(const float* src, void* dst, DWORD floatBytes, DWORD res); /* 25 */
} BASS_FUNCTIONS;

extern const BASS_FUNCTIONS _;

/* An add-on's create procedure (BASSplugin(1)): offered a host file the host opened; answers a stream
 * handle made with entry 2, or 0 (with an error set) to let the next add-on try. */
typedef HSTREAM(STREAMCREATEPROC)(BASSFILE file, DWORD flags);
/* An add-on's URL create procedure (BASSplugin(2)). */
typedef HSTREAM(STREAMCREATEURLPROC)(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                                     void* user);

/* An add-on's name create procedure (BASSplugin(3)): offered a name that BASS_StreamCreateFile could not open
 * as a regular file (a CD track inside a device or image, say). Only add-ons that export this face see such
 * names; answers a stream handle made with entry 2, or 0 with an error set. */
typedef HSTREAM(STREAMCREATENAMEPROC)(const char* name, DWORD flags);

#define BASSPLUGIN_INFO 0
#define BASSPLUGIN_CREATE 1
#define BASSPLUGIN_CREATEURL 2
#define BASSPLUGIN_CREATENAME 3

/* Every add-on exports: const void* BASSplugin(DWORD face); */
typedef const void*(BASSPLUGINPROC)(DWORD face);

#ifdef __cplusplus
}
#endif
