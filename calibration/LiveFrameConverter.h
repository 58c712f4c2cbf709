#pragma once

#include <QByteArray>
#include <QImage>

// Turns a 640 x 360 grey live frame into an image that owns its bytes (Format_Grayscale8), so it
// travels to the alignment view by value and is kept there without a copy of its own.
class LiveFrameConverter {
public:
    static constexpr int width = 640;
    static constexpr int height = 360;
    static constexpr int greyBytes = width * height;

    // Shares the frame's bytes: no copy, and the image keeps them alive for as long as it or any
    // copy of it lives. Read-only: a writer gets its own copy. Null for any size but greyBytes.
    static QImage share(const QByteArray& frame);
    // One copy of a borrowed buffer. Null for a null buffer or any size but greyBytes.
    static QImage copy(const unsigned char* grey, int size);
};
