#include "services/MessageBoxSeam.h"

#include "services/DetailsWindow.h"
#include "services/LanguageTexts.h"
#include "services/ParagraphDirection.h"

#include <QPushButton>

namespace {
MessageBoxSeam::Handler& installedHandler() {
    static MessageBoxSeam::Handler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton MessageBoxSeam::critical(QWidget* parent, const QString& title,
                                                     const QString& text, const QImage& details) {
    const Shown shown{Kind::Critical, title, text, details};
    if (installedHandler())
        return installedHandler()(shown);
    return showBox(parent, shown);
}

QMessageBox::StandardButton MessageBoxSeam::information(QWidget* parent, const QString& title,
                                                        const QString& text) {
    const Shown shown{Kind::Information, title, text, QImage()};
    if (installedHandler())
        return installedHandler()(shown);
    return showBox(parent, shown);
}

void MessageBoxSeam::setHandler(Handler handler) {
    installedHandler() = std::move(handler);
}

QMessageBox::StandardButton MessageBoxSeam::showBox(QWidget* parent, const Shown& shown) {
    // The sentence in the language's direction; the record of what was shown keeps the table's text.
    const bool rightToLeft = LanguageTexts().isRightToLeft();
    QMessageBox box(shown.kind == Kind::Critical ? QMessageBox::Critical : QMessageBox::Information,
                    shown.title, ParagraphDirection::inLanguageDirection(shown.text, rightToLeft),
                    QMessageBox::Ok, parent);
    box.setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    QPushButton* details =
        shown.details.isNull()
            ? nullptr
            : box.addButton(LanguageTexts::guidance(GuidanceText::DetailsButton), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    // With Details beside it, Qt finds no button for Escape and the key would do nothing.
    box.setEscapeButton(QMessageBox::Ok);
    // Details opens the picture; the box comes back once it is closed, until it is answered.
    // The box keeps its last clicked button when Escape closes it, so each round asks afresh.
    bool detailsAsked = false;
    if (details)
        QObject::connect(details, &QPushButton::clicked, &box, [&detailsAsked] { detailsAsked = true; });
    for (;;) {
        detailsAsked = false;
        box.exec();
        if (!detailsAsked)
            break;
        DetailsWindow window(shown.details, parent);
        window.exec();
    }
    return QMessageBox::Ok;
}
