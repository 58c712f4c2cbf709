#pragma once

#include <QFont>

class QTextEdit;
class QWidget;

// How the settings window makes a text fit the widget the form gives it: a smaller font, never
// below a readable share of the normal one.
class TextFitting {
public:
    // A text that does not fit its widget gets a smaller font, down to this share of the normal one.
    static constexpr double smallestShare = 0.7;

    static QFont shrunk(const QFont& normal, double share);
    // The box's whole text shows without scrolling.
    static bool infoTextFits(QTextEdit* box);
    // A text of a label, check box, radio button or button that is wider than its widget.
    static bool textCutOff(QWidget* widget);
    // A caption wider than its widget gets a smaller font, never less than smallestShare.
    static void shrinkCaption(QWidget* widget, const QFont& normal);
};
