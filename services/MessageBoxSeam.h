#pragma once

#include <QImage>
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every message box of the program goes through here, so that tests can see what would be shown
// and answer it instead of a person.
class MessageBoxSeam {
public:
    enum class Kind { Critical, Information };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
        QImage details; // the picture behind the box's Details button; null for a box without one
    };
    // Receives each box instead of showing it; returns the button that answers it.
    using Handler = std::function<QMessageBox::StandardButton(const Shown&)>;

    // details: a picture the user may open from the box (see DetailsWindow); null for none.
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                                const QImage& details = QImage());
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                                   const QString& text);

    // Installs a handler (an empty one restores real boxes).
    static void setHandler(Handler handler);
    // Shows a box as the program does without a handler (a handler may hand a box on to it).
    static QMessageBox::StandardButton showBox(QWidget* parent, const Shown& shown);
};
