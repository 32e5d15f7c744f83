/* pagefields: the four functions a file manager calls to show HTML page facts as columns. */
#ifndef PAGEFIELDS_CONTENT_PLUGIN_H
#define PAGEFIELDS_CONTENT_PLUGIN_H

#if defined(_WIN32)
#define PAGEFIELDS_CALL __stdcall
#else
#define PAGEFIELDS_CALL
#endif

#if defined(PAGEFIELDS_BUILDING_LIBRARY) && !defined(_WIN32)
#define PAGEFIELDS_EXPORT __attribute__((visibility("default")))
#else
#define PAGEFIELDS_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Field type codes returned by ContentGetSupportedField and ContentGetValue. */
#define PAGEFIELDS_FIELD_TYPE_NUMERIC32 1
#define PAGEFIELDS_FIELD_TYPE_STRING 8
/* Result codes. */
#define PAGEFIELDS_NO_MORE_FIELDS 0
#define PAGEFIELDS_VALUE_DELAYED 0
#define PAGEFIELDS_VALUE_NOT_SUPPORTED (-5)

/* The longest page read, in bytes: 2 GiB - 1. Positions in a page are signed 32-bit, so a
   file of 2 GiB or more is not read: ContentGetValue answers -5 for it. */
#define PAGEFIELDS_MAX_PAGE_LENGTH 2147483647

/* Writes the name of field FieldIndex (0..17) and its (empty) units, each cut to MaxLen - 1
   bytes and a NUL, and returns its type code; returns 0 and writes nothing for any other
   index. */
PAGEFIELDS_EXPORT int PAGEFIELDS_CALL ContentGetSupportedField(int FieldIndex, char* FieldName,
                                                               char* Units, int MaxLen);

/* The plugin offers no detection expression: the buffer is left as it is. */
PAGEFIELDS_EXPORT void PAGEFIELDS_CALL ContentGetDetectString(char* DetectString, int MaxLen);

/* Computes field FieldIndex of the HTML file FileName into FieldValue: 4 bytes for a numeric
   field, a NUL-terminated string of at most MaxLen - 1 bytes for a string field. Returns the
   field's type code, 0 when bit 0 of Flags asks for a delayed answer, or -5 when the file is
   not HTML, cannot be read whole (it cannot be opened, a read fails, memory runs out while
   it is loaded, or it is longer than PAGEFIELDS_MAX_PAGE_LENGTH), or the field cannot be
   delivered. FieldValue is untouched whenever the answer is 0 or -5. A file that shrank
   after it was opened is read as it now is. UnitIndex is ignored. */
PAGEFIELDS_EXPORT int PAGEFIELDS_CALL ContentGetValue(const char* FileName, int FieldIndex,
                                                      int UnitIndex, void* FieldValue, int MaxLen,
                                                      int Flags);

/* Called before the library is unloaded; there is nothing to release. */
PAGEFIELDS_EXPORT void PAGEFIELDS_CALL ContentPluginUnloading(void);

#ifdef __cplusplus
}
#endif

#endif /* PAGEFIELDS_CONTENT_PLUGIN_H */
