// The texts writers raise (EEncoderError), as the pipeline and its log report them. Tests compare against
// these names rather than retyping the texts.
#pragma once

// Any writer whose encoder library is missing, before any output exists.
inline constexpr const char* kEncoderLibraryMissing = "encoder library not available";

// MP3 writer.
inline constexpr const char* kMp3CreateFailed = "Can not create output file";
inline constexpr const char* kMp3StreamFailed = "Error opening encoding stream";
inline constexpr const char* kMp3EncoderFailed = "MP3 Encoder error";
inline constexpr const char* kDataWriteError = "Data write error";

// FLAC writer.
inline constexpr const char* kFlacInitFailed = "Can not initialize FLAC encoder";
inline constexpr const char* kFlacEncoderFailed = "FLAC encoder error";

// WAV, AIFF and GSM writers; the write error is followed by libsndfile's own text.
inline constexpr const char* kSndfileCreateFailed = "Can not create SNDLIB compressor";
inline constexpr const char* kSndfileWriteFailed = "SNDLIB write error: ";
// An AIFF output whose sound data would pass what the format's 32-bit sizes can state.
inline constexpr const char* kAiffTooLarge = "Output too large for AIFF (4 GiB limit)";

// Monkey's Audio writer; a file past the format's 4 GiB of audio fails with its own text.
inline constexpr const char* kApeCreateFailed = "Can not create APE compressor";
inline constexpr const char* kApeStartFailed = "Can not start APE compressor";
inline constexpr const char* kApeCompressorFailed = "APE compressor error";
inline constexpr const char* kApeTooLarge = "APE files hold at most 4 GB of audio";

// Opus writer; "%s" stands for libopusenc's error text.
inline constexpr const char* kOpusInitFailed = "Can not initialize Opus encoder";
inline constexpr const char* kOpusVbrFailed = "failed to set VBR mode: %s";
inline constexpr const char* kOpusBitrateFailed = "failed to set bitrate: %s";

// Ogg Vorbis writer.
inline constexpr const char* kOggInitFailed = "Can not initialize Vorbis encoder";
inline constexpr const char* kOggCreateFailed = "Can not create output file";
// Shown when loading the Ogg writer's libraries raised.
inline constexpr const char* kVorbisLoadError = "Vorbis DDL Initialization Error";

// AAC and ALAC writers in MP4, in the order the AAC writer's set-up takes its steps; an ALAC encoder the
// library cannot make for the format fails with its own text.
inline constexpr const char* kAacOpenFailed = "Unable to open AAC encoder";
inline constexpr const char* kAacAotFailed = "Unable to set the AOT";
inline constexpr const char* kAacSampleRateFailed = "Unable to set the sample rate";
inline constexpr const char* kAacChannelModeFailed = "Unable to set the channel mode";
inline constexpr const char* kAacChannelOrderFailed = "Unable to set the wav channel order";
inline constexpr const char* kAacBitrateFailed = "Unable to set the bitrate";
inline constexpr const char* kAacTransmuxFailed = "Unable to set the ADTS transmux";
inline constexpr const char* kAacAfterburnerFailed = "Unable to set the afterburner mode";
inline constexpr const char* kAacInitFailed = "Unable to initialize the encoder";
inline constexpr const char* kAacInfoFailed = "Unable to get the encoder info";
inline constexpr const char* kMp4CreateFailed = "Unable to create MP4 file";
inline constexpr const char* kAlacCreateFailed = "Unable to create ALAC encoder";
// WavPack writer. An output that cannot be created is named after the first text, followed by the
// system's reason; a write error is followed by the system's or the library's text.
inline constexpr const char* kWavpackLoadFailed = "libwavpack.so.1 library could not be loaded";
inline constexpr const char* kWavpackCreateFailed = "Cannot create file \"";
inline constexpr const char* kWavpackInitFailed = "Wavpack file Init failed (error: \"%s\")";
inline constexpr const char* kWavpackWriteFailed = "WavPack write error: ";
