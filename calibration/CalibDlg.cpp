#include "calibration/CalibDlg.h"

CalibDlg::CalibDlg(LanguageTexts* languageTexts, QWidget* parent)
    : QDialog(parent)
    , texts(languageTexts) {
    setObjectName(QStringLiteral("CalibDlg"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("Dialog"));
}

CalibDlg::~CalibDlg() = default;

void CalibDlg::OnTimer() {}

void CalibDlg::on_pushButton_clicked() {
    hide();
    emit sigCaliDlgWorkingDone(false);
}

void CalibDlg::on_pushButtonLeft_clicked() {
    emit sigMCPrevStepPointer();
}
