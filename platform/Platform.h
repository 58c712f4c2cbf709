#pragma once

#include <QString>
#include <memory>

class DisplayProvider;

// Stand-ins for the desktop services the tool asks the operating system for: the display list,
// the all-users application-data folder and the dialog fonts. Tests replace the display list and
// the data folder; the product uses the defaults.
class Platform {
public:
    // The display list in use (Qt's screens unless a test installed another). GUI thread only.
    static const DisplayProvider& displays();
    // Takes ownership; nullptr restores Qt's screens.
    static void setDisplayProvider(std::unique_ptr<DisplayProvider> provider);

    // The all-users application-data folder: /var/lib, or the folder named by the environment
    // variable VEXARO_COMMON_APPDATA when it is set (how tests and unusual installs relocate it).
    static QString commonAppDataFolder();

    // Font family names the dialogs ask for, and the fonts that stand in for them here.
    static QString dialogFontFamily(int languageIndex);
    static void installFontSubstitutes();
    // The desktop is never the oldest supported Windows version, which wanted another Korean font.
    static bool isLegacyDesktop() { return false; }
};
