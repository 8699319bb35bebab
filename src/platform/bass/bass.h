/* Public C interface of the decoding host libbass.so: decode-only streams over files, tracker modules,
 * add-on loading, errors. The program's sources call these; add-ons use bass_addon.h as well. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef DWORD HSTREAM;
typedef DWORD HMUSIC;
typedef DWORD HPLUGIN;

#define BASSVERSION 0x204 /* the API version: high word of BASS_GetVersion */
#define BASSVERSIONFULL 0x02040000

/* Error codes (BASS_ErrorGetCode) */
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_POSITION 7
#define BASS_ERROR_INIT 8
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_ILLTYPE 19
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_NOTAVAIL 37
#define BASS_ERROR_DECODE 38
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_VERSION 43
#define BASS_ERROR_CODEC 44
#define BASS_ERROR_ENDED 45
#define BASS_ERROR_UNKNOWN -1

/* Stream and music flags */
#define BASS_SAMPLE_8BITS 0x1
#define BASS_SAMPLE_MONO 0x2
#define BASS_SAMPLE_LOOP 0x4
#define BASS_SAMPLE_3D 0x8
#define BASS_SAMPLE_SOFTWARE 0x10
#define BASS_SAMPLE_FX 0x80
#define BASS_SAMPLE_FLOAT 0x100
/* This host's own addition, asked for together with BASS_SAMPLE_FLOAT: 32-bit integer samples, full scale
 * (the stored bits at the top), taken from the decoder's integers without passing through float. Only
 * streams whose decoder delivers integers are created with it; others fail with BASS_ERROR_FORMAT. */
#define BASS_SAMPLE_INT32 0x200
#define BASS_STREAM_PRESCAN 0x20000
#define BASS_MUSIC_PRESCAN BASS_STREAM_PRESCAN
#define BASS_STREAM_AUTOFREE 0x40000
#define BASS_STREAM_DECODE 0x200000
#define BASS_MUSIC_DECODE BASS_STREAM_DECODE
#define BASS_UNICODE 0x80000000 /* names are UTF-8 on this platform; the bit is accepted and ignored */

/* BASS_ChannelGetLength / GetPosition / SetPosition modes */
#define BASS_POS_BYTE 0

/* BASS_ChannelIsActive answers */
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1

/* Attributes */
#define BASS_ATTRIB_FREQ 1

/* Tag types */
#define BASS_TAG_OGG 2 /* NUL-separated UTF-8 key=value texts, ending with an empty one */
#define BASS_TAG_MP4 7

/* Configuration options (BASS_SetConfigPtr) */
#define BASS_CONFIG_CD_CDDB_SERVER 0x10204

/* Channel types reported by the built-in decoders (BASS_CHANNELINFO.ctype) */
#define BASS_CTYPE_STREAM 0x10000
#define BASS_CTYPE_STREAM_VORBIS 0x10002
#define BASS_CTYPE_STREAM_OGG 0x10002
#define BASS_CTYPE_STREAM_MP1 0x10003
#define BASS_CTYPE_STREAM_MP2 0x10004
#define BASS_CTYPE_STREAM_MP3 0x10005
#define BASS_CTYPE_STREAM_AIFF 0x10006
#define BASS_CTYPE_STREAM_WAV 0x40000
#define BASS_CTYPE_STREAM_WAV_PCM 0x50001
#define BASS_CTYPE_STREAM_WAV_FLOAT 0x50003
#define BASS_CTYPE_MUSIC_MOD 0x20000
#define BASS_CTYPE_MUSIC_MTM 0x20001
#define BASS_CTYPE_MUSIC_S3M 0x20002
#define BASS_CTYPE_MUSIC_XM 0x20003
#define BASS_CTYPE_MUSIC_IT 0x20004

/* origres: the input's bit depth; 0 = not stated; BASS_ORIGRES_FLOAT added for float input (so above 32) */
#define BASS_ORIGRES_FLOAT 0x10000

typedef struct BASS_CHANNELINFO {
    DWORD freq;
    DWORD chans;
    DWORD flags;
    DWORD ctype;
    DWORD origres;
    HPLUGIN plugin;
    DWORD sample;
    const char* filename;
} BASS_CHANNELINFO;

/* Plug-in information (BASSplugin(0) of an add-on) */
typedef struct BASS_PLUGINFORM {
    DWORD ctype;
    const char* name;
    const char* exts;
} BASS_PLUGINFORM;

typedef struct BASS_PLUGININFO {
    DWORD version;
    DWORD formatc;
    const BASS_PLUGINFORM* formats;
} BASS_PLUGININFO;

/* User file procedures (BASS_StreamCreateFileUser) */
typedef void(FILECLOSEPROC)(void* user);
typedef QWORD(FILELENPROC)(void* user);
typedef DWORD(FILEREADPROC)(void* buffer, DWORD length, void* user);
typedef BOOL(FILESEEKPROC)(QWORD offset, void* user);
typedef struct BASS_FILEPROCS {
    FILECLOSEPROC* close;
    FILELENPROC* length;
    FILEREADPROC* read;
    FILESEEKPROC* seek;
} BASS_FILEPROCS;
#define STREAMFILE_NOBUFFER 0
#define STREAMFILE_BUFFER 1
#define STREAMFILE_BUFFERPUSH 2

typedef void(DOWNLOADPROC)(const void* buffer, DWORD length, void* user);

/* Stream procedure of a stream created by an add-on */
typedef DWORD(STREAMPROC)(HSTREAM handle, void* buffer, DWORD length, void* user);
#define BASS_STREAMPROC_END 0x80000000

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
BOOL BASS_Free(void);
DWORD BASS_GetVersion(void);
int BASS_ErrorGetCode(void);
BOOL BASS_SetConfigPtr(DWORD option, const void* value);
const void* BASS_GetConfigPtr(DWORD option);

HPLUGIN BASS_PluginLoad(const char* file, DWORD flags);
BOOL BASS_PluginFree(HPLUGIN handle);
const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN handle);

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
HSTREAM BASS_StreamCreateFileUser(DWORD system, DWORD flags, const BASS_FILEPROCS* procs, void* user);
HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user);
BOOL BASS_StreamFree(HSTREAM handle);
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
BOOL BASS_MusicFree(HMUSIC handle);

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos);
BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);
DWORD BASS_ChannelIsActive(DWORD handle);
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
const char* BASS_ChannelGetTags(DWORD handle, DWORD tags);

#ifdef __cplusplus
}
#endif
