#pragma once

#include <QFont>
#include <QString>
#include <Qt>

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

    // Sets an info box's text, justified in the language's direction, with lines of lineHeight
    // pixels. A text taller than its box (longer languages wrap to more lines) first gets tighter
    // lines, down to the font's own line spacing, then a smaller font; never a scroll bar.
    static void fitInfoText(QTextEdit* box, const QString& text, int lineHeight, const QFont& normal,
                            Qt::LayoutDirection direction);

private:
    static void setInfoText(QTextEdit* box, const QString& text, int lineHeight,
                            Qt::LayoutDirection direction);
};
