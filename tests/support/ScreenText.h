#pragma once

#include <QImage>
#include <QString>

// Reads the text of a picture of the screen with tesseract, as a person would read it: tests of
// what the user is told look at the pixels, not at the widgets' strings.
class ScreenText {
public:
    static bool available();
    // The text tesseract reads, lines joined by spaces and runs of white space folded; empty when
    // tesseract is missing or fails. languages: tesseract's codes, e.g. "eng" or "eng+ara".
    static QString read(const QImage& picture, const QString& languages = QStringLiteral("eng"));
    // The root window of an X display, grabbed with ImageMagick's import; null on failure.
    static QImage grabDisplay(const QString& display);
};
