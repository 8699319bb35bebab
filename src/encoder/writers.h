// Class references of every concrete writer class, for the writer registry's explicit list.
#pragma once

#include "encoder/maker.h"

extern const EncoderClass& MP3writerClass;
extern const EncoderClass& WMAwriterClass;
extern const EncoderClass& OGGwriterClass;
extern const EncoderClass& WAVwriterClass;
extern const EncoderClass& AMRwriterClass;
extern const EncoderClass& FLACwriterClass;
extern const EncoderClass& APEwriterClass;
extern const EncoderClass& AACwriterClass;
extern const EncoderClass& GSMwriterClass;
extern const EncoderClass& ALACwriterClass;
extern const EncoderClass& AIFwriterClass;
extern const EncoderClass& OpuswriterClass;
extern const EncoderClass& WVwriterClass;
