#pragma once

#include <QString>

// The one-key configuration file: group "Configuration", key "LanguageID" (language index + 1),
// in "config.ini" under "/Norvale/Vexaro/" of the all-users application-data folder, the default
// every account sees. When that file cannot be written (the folder belongs to the administrator,
// or the file to another user), the choice is kept in the same file under the user's own
// configuration folder, and from then on that choice wins over an all-users file the user does
// not own. Both folders may hold anything another user or program put there: a file is read only
// when it is a regular file of at most 64 KiB (never through a link, never blocking on a FIFO), and
// replaced by renaming a fresh file into place, never over another user's entry.
class ConfigFile {
public:
    // Full path of the all-users file, evaluated anew at each call.
    static QString path();
    // Full path of the per-user file (~/.config/Norvale/Vexaro/config.ini), evaluated anew.
    static QString userPath();
    // The saved id: -1 when the file or the key is missing, 0 for text that is not a number.
    // The per-user file's choice unless the all-users file is this user's own and replaceable.
    static int readLanguageId();
    // Writes LanguageID = languageIndex + 1, keeping every other group and key, when that changes
    // what readLanguageId gives. Creates the folder and the file when needed; when the all-users
    // file cannot be written, logs why (once per run) and writes the per-user file instead.
    static void writeLanguageId(int languageIndex);
};
