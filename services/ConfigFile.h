#pragma once

#include <QString>

// The one-key configuration file: group "Configuration", key "LanguageID" (language index + 1),
// in "config.ini" under "/Norvale/Vexaro/" of the all-users application-data folder. When that
// file cannot be written (the folder is missing and cannot be created, or another user owns the
// file), the choice is kept in the same file under the user's own configuration folder instead.
class ConfigFile {
public:
    // Full path of the all-users file, evaluated anew at each call.
    static QString path();
    // Full path of the per-user file (~/.config/Norvale/Vexaro/config.ini), evaluated anew.
    static QString userPath();
    // The saved id: -1 when the file or the key is missing, 0 for text that is not a number.
    // Read from the all-users file unless only the per-user file can hold this user's choice.
    static int readLanguageId();
    // Writes LanguageID = languageIndex + 1, keeping every other group and key. Creates the folder
    // and the file when needed; when the all-users file cannot be written, logs why (once per run)
    // and writes the per-user file instead.
    static void writeLanguageId(int languageIndex);
};
