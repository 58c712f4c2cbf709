#pragma once

#include <QString>

// Folders in places a user or another user controls: made fresh, and removed without ever
// following a link.
class SafeFolder {
public:
    // A new empty folder named prefix followed by six random characters (mkdtemp), private to this
    // user; empty on failure.
    static QString makeFresh(const QString& prefix);
    // Removes path: a link or a file as itself, a folder with everything in it. A link inside is
    // removed as a link; nothing reached through one is touched. True when nothing is left.
    static bool removeTree(const QString& path);
};
