#pragma once

#include <QString>

// The one-key configuration file: group "Configuration", key "LanguageID" (language index + 1),
// in "config.ini" under "/Norvale/Vexaro/" of the all-users application-data folder.
class ConfigFile {
public:
    // Full path, evaluated anew at each call.
    static QString path();
    // The saved id: -1 when the file or the key is missing, 0 for text that is not a number.
    static int readLanguageId();
    // Writes LanguageID = languageIndex + 1, keeping every other group and key. Creates the folder
    // and the file when needed; a file that cannot be written is silently left alone.
    static void writeLanguageId(int languageIndex);
};
