// The one export macro of the library. The shared library is built with hidden visibility;
// only declarations marked ZAREZODUD_API (and the extern "C" functions marked
// ZAREZODUD_C_API) appear in its dynamic symbol table. ZAREZODUD_HIDDEN keeps a member of an
// exported class (a test hook, say) out of it.
#ifndef ZAREZODUD_EXPORT_H
#define ZAREZODUD_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define ZAREZODUD_API __attribute__((visibility("default")))
#define ZAREZODUD_HIDDEN __attribute__((visibility("hidden")))
#else
#define ZAREZODUD_API
#define ZAREZODUD_HIDDEN
#endif

#ifdef __cplusplus
#define ZAREZODUD_C_API extern "C" ZAREZODUD_API
#else
#define ZAREZODUD_C_API ZAREZODUD_API
#endif

#endif  // ZAREZODUD_EXPORT_H
