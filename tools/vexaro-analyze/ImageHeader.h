#pragma once

#include <QByteArray>
#include <QString>

// What an image file declares about itself, read from its first bytes so that a file declaring a
// huge or unsuitable image is refused before anything is decoded. Knows PNG and PGM (binary and
// text), the formats camera frames are saved in.
struct ImageHeader {
    const char* format = "";
    qint64 width = 0;
    qint64 height = 0;
    int bitDepth = 0;
    bool grey = false;

    // False with a reason (no path) when bytes start with neither format or the header is damaged.
    static bool parse(const QByteArray& bytes, ImageHeader& header, QString& error);
};
