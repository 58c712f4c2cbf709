#pragma once

#include <QImage>
#include <QString>

// The program's pictures, drawn with QPainter. Each function returns the finished image in the format
// it is stored in (see main.cpp for the file names).
namespace artwork {

// Font families picked from what is installed; the first available of each preference list.
struct Fonts {
    QString sans;   // banner lettering
    QString script; // the word "Calibration" on the instruction picture
    bool scriptItalic = false;
};
Fonts pickFonts();

// Window icon: rounded green square with a pen touching a target, size x size, ARGB32 premultiplied.
QImage drawIcon(int size);

// Settings banner: 558 x 81, RGB888 (no alpha).
QImage drawBanner(const Fonts& fonts);

// Calibration pen mark: 113 x 113, black with three white rings and a cross-hair. The rings sit exactly
// where the calibration window paints its progress ring.
QImage drawPenMark();

// Instruction background: 1280 x 800, black with "Calibration" at the top and a faint pen hint at the
// bottom; the middle band stays black for the instruction text.
QImage drawInstruction(const Fonts& fonts);

} // namespace artwork
