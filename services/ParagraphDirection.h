#pragma once

#include <QString>

// Sentences of a right-to-left language often begin with a Latin word ("Vexaro ..."); left to the
// first strong character, Qt would lay such a paragraph out left to right, with the name and the
// full stop at the wrong ends. A right-to-left mark at the head of each paragraph gives it the
// language's direction wherever it is shown (labels, message boxes, the status line).
class ParagraphDirection {
public:
    static constexpr QChar rightToLeftMark = QChar(0x200F);

    // The text with each of its lines begun by a right-to-left mark, when rightToLeft; else as is.
    static QString inLanguageDirection(const QString& text, bool rightToLeft);
    // The text without the marks: what the tables hold.
    static QString withoutMarks(QString text);
};
