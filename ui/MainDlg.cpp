#include "ui/MainDlg.h"

#include "app/LanguageTexts.h"

#include <QCloseEvent>
#include <QKeyEvent>

MainDlg::MainDlg(LanguageTexts* languageTexts, QWidget* parent)
    : QDialog(parent)
    , texts(languageTexts) {
    setObjectName(QStringLiteral("MainDlg"));
    setFixedSize(560, 710);
}

MainDlg::~MainDlg() = default;

void MainDlg::setFirmwareVersion(QString) {}
void MainDlg::setDeviceOptions(uchar, uchar, uchar, uchar) {}
void MainDlg::changeUIState(bool) {}
void MainDlg::resetUIState() {}

void MainDlg::applyLanguage() {
    setWindowTitle(texts->getConfigText(0));
}

void MainDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isVisible())
        emit sigClose(0);
}

void MainDlg::closeEvent(QCloseEvent*) {
    hide();
    destroy(true, true);
    emit sigClose(0);
}
