// Run-time binding of libogg and libvorbis: each library is opened by its soname and every entry point is
// bound by name, with a reference count per library, so a system without them loses only the Ogg Vorbis
// writer. Every call goes through a wrapper that answers kNotLoaded (integers), no buffer (pointers) or
// nothing (procedures) while its library is not loaded.
#pragma once

// The libraries' own headers supply the types; nothing from them is linked.
#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <cstdint>
#include <type_traits>

namespace unavorbisapi {

enum class Library { Ogg, Vorbis };

inline constexpr const char* kOggSoname = "libogg.so.0";
// "libvorbis" is the codec library together with the encoder library, where Debian keeps the vorbis_encode_*
// entry points.
inline constexpr const char* kVorbisSoname = "libvorbis.so.0";
inline constexpr const char* kVorbisEncSoname = "libvorbisenc.so.2";
inline constexpr int kNotLoaded = -4001;

// The state counter of a library: 0 not loaded, -1 a load in progress, n > 0 loaded with n references, -2
// being freed.
int32_t State(Library library);
// Loads the library (`fileName` replaces its soname; for libvorbis the encoder entry points not found in it
// are looked for in libvorbisenc.so.2) or adds a reference. A missing library or entry point leaves the
// counter at 0; nothing is raised. True when the library is loaded afterwards.
bool Load(Library library, const char* fileName = nullptr);
// Drops a reference; the last one closes the library. Nothing happens while it is not loaded.
void Unload(Library library);

#define WT_OGG_ENTRIES(X)        \
    X(ogg_page_bos)              \
    X(ogg_page_checksum_set)     \
    X(ogg_page_continued)        \
    X(ogg_page_eos)              \
    X(ogg_page_granulepos)       \
    X(ogg_page_packets)          \
    X(ogg_page_pageno)           \
    X(ogg_page_serialno)         \
    X(ogg_page_version)          \
    X(ogg_stream_check)          \
    X(ogg_stream_clear)          \
    X(ogg_stream_destroy)        \
    X(ogg_stream_eos)            \
    X(ogg_stream_flush)          \
    X(ogg_stream_flush_fill)     \
    X(ogg_stream_init)           \
    X(ogg_stream_iovecin)        \
    X(ogg_stream_packetin)       \
    X(ogg_stream_packetout)      \
    X(ogg_stream_packetpeek)     \
    X(ogg_stream_pagein)         \
    X(ogg_stream_pageout)        \
    X(ogg_stream_pageout_fill)   \
    X(ogg_stream_reset)          \
    X(ogg_stream_reset_serialno) \
    X(ogg_sync_buffer)           \
    X(ogg_sync_check)            \
    X(ogg_sync_clear)            \
    X(ogg_sync_destroy)          \
    X(ogg_sync_init)             \
    X(ogg_sync_pageout)          \
    X(ogg_sync_pageseek)         \
    X(ogg_sync_reset)            \
    X(ogg_sync_wrote)            \
    X(oggpack_adv)               \
    X(oggpack_adv1)              \
    X(oggpack_bits)              \
    X(oggpack_bytes)             \
    X(oggpack_get_buffer)        \
    X(oggpack_look)              \
    X(oggpack_look1)             \
    X(oggpack_read)              \
    X(oggpack_read1)             \
    X(oggpack_readinit)          \
    X(oggpack_reset)             \
    X(oggpack_write)             \
    X(oggpack_writealign)        \
    X(oggpack_writecheck)        \
    X(oggpack_writeclear)        \
    X(oggpack_writecopy)         \
    X(oggpack_writeinit)         \
    X(oggpack_writetrunc)

#define WT_VORBIS_ENTRIES(X)       \
    X(vorbis_analysis)             \
    X(vorbis_analysis_blockout)    \
    X(vorbis_analysis_buffer)      \
    X(vorbis_analysis_headerout)   \
    X(vorbis_analysis_init)        \
    X(vorbis_analysis_wrote)       \
    X(vorbis_bitrate_addblock)     \
    X(vorbis_bitrate_flushpacket)  \
    X(vorbis_block_clear)          \
    X(vorbis_block_init)           \
    X(vorbis_comment_add)          \
    X(vorbis_comment_add_tag)      \
    X(vorbis_comment_clear)        \
    X(vorbis_comment_init)         \
    X(vorbis_comment_query)        \
    X(vorbis_comment_query_count)  \
    X(vorbis_commentheader_out)    \
    X(vorbis_dsp_clear)            \
    X(vorbis_info_blocksize)       \
    X(vorbis_info_clear)           \
    X(vorbis_info_init)            \
    X(vorbis_packet_blocksize)     \
    X(vorbis_synthesis)            \
    X(vorbis_synthesis_blockin)    \
    X(vorbis_synthesis_halfrate)   \
    X(vorbis_synthesis_halfrate_p) \
    X(vorbis_synthesis_headerin)   \
    X(vorbis_synthesis_idheader)   \
    X(vorbis_synthesis_init)       \
    X(vorbis_synthesis_lapout)     \
    X(vorbis_synthesis_pcmout)     \
    X(vorbis_synthesis_read)       \
    X(vorbis_synthesis_restart)    \
    X(vorbis_synthesis_trackonly)  \
    X(vorbis_encode_init)          \
    X(vorbis_encode_init_vbr)      \
    X(vorbis_encode_ctl)           \
    X(vorbis_encode_setup_init)    \
    X(vorbis_encode_setup_managed) \
    X(vorbis_encode_setup_vbr)

// One pointer per entry point, all set while the library is loaded.
#define WT_UNAVORBIS_POINTER(name) decltype(&::name) name = nullptr;
struct OggEntries {
    WT_OGG_ENTRIES(WT_UNAVORBIS_POINTER)
};
struct VorbisEntries {
    WT_VORBIS_ENTRIES(WT_UNAVORBIS_POINTER)
};
#undef WT_UNAVORBIS_POINTER

namespace detail {

const OggEntries& Entries(const OggEntries*);
const VorbisEntries& Entries(const VorbisEntries*);
inline bool Loaded(const OggEntries*) {
    return State(Library::Ogg) > 0;
}
inline bool Loaded(const VorbisEntries*) {
    return State(Library::Vorbis) > 0;
}

template <typename T>
struct MemberOf;
template <typename Table, typename Pointer>
struct MemberOf<Pointer Table::*> {
    using TableType = Table;
    using PointerType = Pointer;
};

template <auto Member, typename Pointer = typename MemberOf<decltype(Member)>::PointerType>
struct Wrapper;
template <auto Member, typename R, typename... A>
struct Wrapper<Member, R (*)(A...)> {
    using Table = typename MemberOf<decltype(Member)>::TableType;
    static R Call(A... args) {
        if (Loaded(static_cast<const Table*>(nullptr)))
            return (Entries(static_cast<const Table*>(nullptr)).*Member)(args...);
        if constexpr (std::is_void_v<R>) {
            return;
        } else if constexpr (std::is_pointer_v<R>) {
            return nullptr;
        } else {
            return static_cast<R>(kNotLoaded);
        }
    }
};

}  // namespace detail

// The wrappers, named as the entry points they guard: unavorbisapi::ogg_stream_init(...) and so on.
#define WT_OGG_WRAPPER(name) inline constexpr auto name = &detail::Wrapper<&OggEntries::name>::Call;
#define WT_VORBIS_WRAPPER(name) inline constexpr auto name = &detail::Wrapper<&VorbisEntries::name>::Call;
WT_OGG_ENTRIES(WT_OGG_WRAPPER)
WT_VORBIS_ENTRIES(WT_VORBIS_WRAPPER)
#undef WT_OGG_WRAPPER
#undef WT_VORBIS_WRAPPER

}  // namespace unavorbisapi
