#include "services/MessageBoxSeam.h"

namespace {
MessageBoxSeam::Handler& installedHandler() {
    static MessageBoxSeam::Handler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton MessageBoxSeam::critical(QWidget* parent, const QString& title,
                                                     const QString& text) {
    return show(Kind::Critical, parent, title, text);
}

QMessageBox::StandardButton MessageBoxSeam::information(QWidget* parent, const QString& title,
                                                        const QString& text) {
    return show(Kind::Information, parent, title, text);
}

void MessageBoxSeam::setHandler(Handler handler) {
    installedHandler() = std::move(handler);
}

QMessageBox::StandardButton MessageBoxSeam::show(Kind kind, QWidget* parent, const QString& title,
                                                 const QString& text) {
    if (installedHandler())
        return installedHandler()(Shown{kind, title, text});
    if (kind == Kind::Critical)
        return QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    return QMessageBox::information(parent, title, text, QMessageBox::Ok);
}
