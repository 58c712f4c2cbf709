#pragma once

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
    };
    // Receives each box instead of showing it; returns the button that answers it.
    using Handler = std::function<QMessageBox::StandardButton(const Shown&)>;

    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text);
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                                   const QString& text);

    // Installs a handler (an empty one restores real boxes).
    static void setHandler(Handler handler);

private:
    static QMessageBox::StandardButton show(Kind kind, QWidget* parent, const QString& title,
                                            const QString& text);
};
