#include "ui/AlignmentDlg.h"

namespace {
constexpr unsigned short gainTable[10] = {16, 32, 64, 128, 192, 256, 384, 512, 768, 1023};
}

AlignmentDlg::AlignmentDlg(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dialog"));
}

AlignmentDlg::~AlignmentDlg() = default;

void AlignmentDlg::display(bool on) {
    if (!on)
        hide();
}

void AlignmentDlg::setGain(int position) {
    if (position < 0 || position > 9)
        return;
    savedPosition = position;
    emit sigCamParamSendWait(gainTable[position], 0);
}

void AlignmentDlg::showLiveImage(const QImage&) {}

void AlignmentDlg::on_pushButton_clicked() {
    if (isVisible())
        hide();
    emit sigStopAlignmentDisplay();
}

void AlignmentDlg::valueAlignmentGain() {
    emit sigCamParamSendWait(gainTable[savedPosition], 0);
}
