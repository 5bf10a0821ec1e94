// Retention of old database dump files: for each of the product's databases, keeps only the
// newest few ".dmp" files of its job-results directories that are also younger than an age
// limit, and deletes the rest. The host process calls DeleteOldDBDumps_OnStart when it starts
// and DeleteOldDBDumps_OnTimer periodically; the limits are read from the registry (key
// "Database": "nDBdumpsDaysOlder", default 30 days; "nDBdumpsNoOfFilesToRetain", default 1) on
// every call. Diagnostics go to the upgrade log at level 0 under "DeleteOldDBDumps_OnTimer".
//
// Files are timed by their own modification time; a symbolic link that matches a pattern is
// timed and removed as a link and never followed.
//
// Thread-safety: no shared state; two sweeps at once may both try to delete a file, and the
// failed deletion is harmless.
#ifndef ZAREZODUD_MAINT_DUMP_RETENTION_H
#define ZAREZODUD_MAINT_DUMP_RETENTION_H

#include "export.h"

// Sweeps directory for the entries (not directories) matching pattern (shell pattern,
// case-sensitive): sorted newest first, the entry at position i is kept when i is below
// filesToRetain and its age is below days * 86,400 seconds; every other one is deleted.
// Returns 1 when the sweep ran to its end (deletion failures are ignored), 0 when an argument
// is null or the directory or an entry's time cannot be read (then nothing is deleted).
ZAREZODUD_C_API int deleteOldDBFileBackups(const char* directory, const char* pattern, long long days,
                                           long long filesToRetain);

// One sweep of the dumps of the ten product databases ("Corehub", "ZI2", "WFEngine", "RKCloud",
// "HistoryDB", "AppStudioDB", "AuditDB", "CacheDB", "ResourceMgrDB", "TemplateDB"; pattern
// "<name>*.dmp") in "<product directory>/iFieldAgent/JobResults" and then in its "ZARezodud"
// subdirectory, for the current focus. The argument is the host's and is not used. Returns 0.
ZAREZODUD_C_API int DeleteOldDBDumps_OnTimer(void* arg);
// The same sweep, at the host's start.
ZAREZODUD_C_API int DeleteOldDBDumps_OnStart(void* arg);

#endif
