// The C interface of libtagwrapper.so: reading, writing and copying tags by opaque file and tag handles.
// The program never links this library; it binds these names at run time (src/bindings/taglib.h).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TAGWRAPPER_BUILDING)
#define TAGWRAPPER_API __attribute__((visibility("default")))
#else
#define TAGWRAPPER_API
#endif

typedef struct TagLib_File TagLib_File;
typedef struct TagLib_Tag TagLib_Tag;

// Non-zero: getters answer UTF-8 and setters take UTF-8 (the default); zero: Latin-1 both ways.
TAGWRAPPER_API void taglib_set_strings_unicode(int unicode);
// Opens a file by its UTF-8 path; null when it cannot be opened or its type is not supported.
TAGWRAPPER_API TagLib_File* taglib_file_newu(const char* path);
// As taglib_file_newu, but the type is chosen as for a file whose name ends in "." `extension`, whatever
// `path` is called (an output still under its temporary name).
TAGWRAPPER_API TagLib_File* taglib_file_new_as(const char* path, const char* extension);
// The file's tag, owned by the file; null for a null file.
TAGWRAPPER_API TagLib_Tag* taglib_file_tag(const TagLib_File* file);

// Texts stay valid until taglib_tag_free_strings; never null (empty for a null tag).
TAGWRAPPER_API char* taglib_tag_title(const TagLib_Tag* tag);
TAGWRAPPER_API char* taglib_tag_artist(const TagLib_Tag* tag);
TAGWRAPPER_API char* taglib_tag_album(const TagLib_Tag* tag);
TAGWRAPPER_API char* taglib_tag_genre(const TagLib_Tag* tag);
// 0 when absent.
TAGWRAPPER_API unsigned int taglib_tag_track(const TagLib_Tag* tag);
TAGWRAPPER_API unsigned int taglib_tag_year(const TagLib_Tag* tag);

// An empty text or 0 clears the field; changes stay in memory until taglib_file_save.
TAGWRAPPER_API void taglib_tag_set_title(TagLib_Tag* tag, const char* text);
TAGWRAPPER_API void taglib_tag_set_artist(TagLib_Tag* tag, const char* text);
TAGWRAPPER_API void taglib_tag_set_album(TagLib_Tag* tag, const char* text);
TAGWRAPPER_API void taglib_tag_set_genre(TagLib_Tag* tag, const char* text);
TAGWRAPPER_API void taglib_tag_set_track(TagLib_Tag* tag, unsigned int track);
TAGWRAPPER_API void taglib_tag_set_year(TagLib_Tag* tag, unsigned int year);

// Non-zero when every change was written into the file. An RF64 file, or a WAV or AIFF file the tags
// would take past what its 32-bit sizes can state, is left untouched (0).
TAGWRAPPER_API int taglib_file_save(TagLib_File* file);
// Copies every property the source's tags hold (and its cover art) into the destination, in memory.
TAGWRAPPER_API void taglib_tag_copy(const TagLib_File* source, TagLib_File* destination);
// Closes the file and releases its tag; null is accepted.
TAGWRAPPER_API void taglib_file_free(TagLib_File* file);
// Releases every text returned so far.
TAGWRAPPER_API void taglib_tag_free_strings(void);

#ifdef __cplusplus
}
#endif
