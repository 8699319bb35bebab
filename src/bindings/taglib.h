// Run-time binding of the tag library (libtagwrapper.so): loads it, binds its calls by name, and makes
// every call a harmless no-op while it is not loaded, so a missing library only means no tags.
#pragma once

namespace taglib {

struct TagLib_File;  // opaque handles of the wrapper library
struct TagLib_Tag;

// Loads the library from the executable's folder first, then from the normal search path, and binds every
// call. False, with nothing else changed, when the library or one of its calls is missing. A name holding
// a '/' is opened as given.
bool Load(const char* libraryName = "libtagwrapper.so");
// Releases the library's texts, unloads it and clears the loaded flag.
void Unload();
bool IsLoaded();

// Each call forwards to the library; while it is not loaded they answer null / 0 / false / "".
void taglib_set_strings_unicode(bool on);
TagLib_File* taglib_file_newu(const char* utf8Path);
// Opens `utf8Path` with the type a file named "*." `extension` would get (for outputs under temporary names).
TagLib_File* taglib_file_new_as(const char* utf8Path, const char* extension);
TagLib_Tag* taglib_file_tag(TagLib_File* file);
const char* taglib_tag_title(TagLib_Tag* tag);  // UTF-8, valid until taglib_tag_free_strings; never null
const char* taglib_tag_artist(TagLib_Tag* tag);
const char* taglib_tag_album(TagLib_Tag* tag);
const char* taglib_tag_genre(TagLib_Tag* tag);
unsigned taglib_tag_track(TagLib_Tag* tag);
unsigned taglib_tag_year(TagLib_Tag* tag);
void taglib_tag_set_title(TagLib_Tag* tag, const char* utf8);
void taglib_tag_set_artist(TagLib_Tag* tag, const char* utf8);
void taglib_tag_set_album(TagLib_Tag* tag, const char* utf8);
void taglib_tag_set_genre(TagLib_Tag* tag, const char* utf8);
void taglib_tag_set_track(TagLib_Tag* tag, unsigned track);
void taglib_tag_set_year(TagLib_Tag* tag, unsigned year);
bool taglib_file_save(TagLib_File* file);
void taglib_tag_copy(TagLib_File* source, TagLib_File* destination);
void taglib_file_free(TagLib_File* file);  // null accepted
void taglib_tag_free_strings();

}  // namespace taglib
