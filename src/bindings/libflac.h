// Run-time binding of libFLAC: the library is opened by its soname when first needed and every stream encoder
// entry point is bound by name, so a system without libFLAC loses only the FLAC writer.
#pragma once

// The library's own header supplies the types; nothing from it is linked.
#include <FLAC/stream_encoder.h>

namespace libflac {

inline constexpr const char* kSoname = "libFLAC.so.12";

#define WT_LIBFLAC_ENCODER_ENTRIES(X)                        \
    X(FLAC__stream_encoder_new)                              \
    X(FLAC__stream_encoder_delete)                           \
    X(FLAC__stream_encoder_set_ogg_serial_number)            \
    X(FLAC__stream_encoder_set_verify)                       \
    X(FLAC__stream_encoder_set_streamable_subset)            \
    X(FLAC__stream_encoder_set_channels)                     \
    X(FLAC__stream_encoder_set_bits_per_sample)              \
    X(FLAC__stream_encoder_set_sample_rate)                  \
    X(FLAC__stream_encoder_set_compression_level)            \
    X(FLAC__stream_encoder_set_blocksize)                    \
    X(FLAC__stream_encoder_set_do_mid_side_stereo)           \
    X(FLAC__stream_encoder_set_loose_mid_side_stereo)        \
    X(FLAC__stream_encoder_set_apodization)                  \
    X(FLAC__stream_encoder_set_max_lpc_order)                \
    X(FLAC__stream_encoder_set_qlp_coeff_precision)          \
    X(FLAC__stream_encoder_set_do_qlp_coeff_prec_search)     \
    X(FLAC__stream_encoder_set_do_escape_coding)             \
    X(FLAC__stream_encoder_set_do_exhaustive_model_search)   \
    X(FLAC__stream_encoder_set_min_residual_partition_order) \
    X(FLAC__stream_encoder_set_max_residual_partition_order) \
    X(FLAC__stream_encoder_set_rice_parameter_search_dist)   \
    X(FLAC__stream_encoder_set_total_samples_estimate)       \
    X(FLAC__stream_encoder_set_metadata)                     \
    X(FLAC__stream_encoder_set_limit_min_bitrate)            \
    X(FLAC__stream_encoder_get_state)                        \
    X(FLAC__stream_encoder_get_verify_decoder_state)         \
    X(FLAC__stream_encoder_get_resolved_state_string)        \
    X(FLAC__stream_encoder_get_verify_decoder_error_stats)   \
    X(FLAC__stream_encoder_get_verify)                       \
    X(FLAC__stream_encoder_get_streamable_subset)            \
    X(FLAC__stream_encoder_get_channels)                     \
    X(FLAC__stream_encoder_get_bits_per_sample)              \
    X(FLAC__stream_encoder_get_sample_rate)                  \
    X(FLAC__stream_encoder_get_blocksize)                    \
    X(FLAC__stream_encoder_get_do_mid_side_stereo)           \
    X(FLAC__stream_encoder_get_loose_mid_side_stereo)        \
    X(FLAC__stream_encoder_get_max_lpc_order)                \
    X(FLAC__stream_encoder_get_qlp_coeff_precision)          \
    X(FLAC__stream_encoder_get_do_qlp_coeff_prec_search)     \
    X(FLAC__stream_encoder_get_do_escape_coding)             \
    X(FLAC__stream_encoder_get_do_exhaustive_model_search)   \
    X(FLAC__stream_encoder_get_min_residual_partition_order) \
    X(FLAC__stream_encoder_get_max_residual_partition_order) \
    X(FLAC__stream_encoder_get_rice_parameter_search_dist)   \
    X(FLAC__stream_encoder_get_total_samples_estimate)       \
    X(FLAC__stream_encoder_get_limit_min_bitrate)            \
    X(FLAC__stream_encoder_init_stream)                      \
    X(FLAC__stream_encoder_init_ogg_stream)                  \
    X(FLAC__stream_encoder_init_FILE)                        \
    X(FLAC__stream_encoder_init_ogg_FILE)                    \
    X(FLAC__stream_encoder_init_file)                        \
    X(FLAC__stream_encoder_init_ogg_file)                    \
    X(FLAC__stream_encoder_finish)                           \
    X(FLAC__stream_encoder_process)                          \
    X(FLAC__stream_encoder_process_interleaved)

// One pointer per entry point; a name the loaded library lacks stays null.
struct Entries {
#define WT_LIBFLAC_POINTER(name) decltype(&::name) name = nullptr;
    WT_LIBFLAC_ENCODER_ENTRIES(WT_LIBFLAC_POINTER)
#undef WT_LIBFLAC_POINTER
};

// Opens the library (once: later calls answer the first outcome until Free) and binds its entry points.
// True when the library was opened. Safe to call from several threads.
bool Load(const char* soname = kSoname);
// The bound entry points, or null when the library is not loaded.
const Entries* Get();
// Forgets the entry points and closes the library; no encoder may be alive.
void Free();

}  // namespace libflac
