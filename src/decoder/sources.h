// Class references of every concrete source class, for the source registry's explicit list.
#pragma once

#include "decoder/reader.h"

extern const DecoderClass& TWMAReaderClass;
extern const DecoderClass& TAPEReaderClass;
extern const DecoderClass& TWAVReaderClass;
extern const DecoderClass& TVQFReaderClass;
extern const DecoderClass& TOGGReaderClass;
extern const DecoderClass& TMPCReaderClass;
extern const DecoderClass& TMP4ReaderClass;
extern const DecoderClass& TMP3ReaderClass;
extern const DecoderClass& TCDA2ReaderClass;
extern const DecoderClass& TFLACReaderClass;
extern const DecoderClass& TWVReaderClass;
extern const DecoderClass& TSPXReaderClass;
extern const DecoderClass& TADXReaderClass;
extern const DecoderClass& TTTAReaderClass;
extern const DecoderClass& TDSFReaderClass;
extern const DecoderClass& TAIFFReaderClass;
extern const DecoderClass& TOFRReaderClass;
extern const DecoderClass& TAACReaderClass;
extern const DecoderClass& TOpusReaderClass;
extern const DecoderClass& TBassSndReaderClass;
extern const DecoderClass& TAMRReaderClass;
extern const DecoderClass& TMODReaderClass;
