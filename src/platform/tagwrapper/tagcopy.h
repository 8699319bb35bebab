// Copying tags between two open files of any types TagLib handles: its whole property map plus cover art.
#pragma once

namespace TagLib {
class File;
}

namespace tagwrapper {

// Merges every property of `source` over those `destination` already has, carries custom keys into M4A
// as iTunes freeform items, and replaces the destination's pictures when the source has any. In memory
// only; the caller saves.
void CopyTags(TagLib::File& source, TagLib::File& destination);

}  // namespace tagwrapper
