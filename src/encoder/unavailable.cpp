// Writers whose encoder library is missing fail at construction, so the pipeline reports the file as failed
// and no output is left behind.
#include "encoder/unavailable.h"

bool UnavailableEncoderClass::WriteTags(const std::string& fileName, const TagFrame& tags) const {
    return facts_.writesTags ? EncoderClass::WriteTags(fileName, tags) : true;
}

std::unique_ptr<Tencoder> UnavailableEncoderClass::Create(const std::string&, const WAVEFORMATEX&) const {
    throw EEncoderError(kEncoderLibraryMissing);
}
