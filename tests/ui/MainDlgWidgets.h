#pragma once

#include "ui/MainDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

// The settings window's widgets, found by their object names (the names are binding).
struct MainDlgWidgets {
    explicit MainDlgWidgets(const MainDlg& dialog)
        : label(dialog.findChild<QLabel*>(QStringLiteral("label")))
        , groupMode(dialog.findChild<QGroupBox*>(QStringLiteral("groupMode")))
        , radioPen(dialog.findChild<QRadioButton*>(QStringLiteral("radioPen")))
        , radioFinger(dialog.findChild<QRadioButton*>(QStringLiteral("radioFinger")))
        , groupLanguage(dialog.findChild<QGroupBox*>(QStringLiteral("groupLanguage")))
        , labelUse(dialog.findChild<QLabel*>(QStringLiteral("labelUse")))
        , labelUseL(dialog.findChild<QLabel*>(QStringLiteral("labelUseL")))
        , labelSel_1(dialog.findChild<QLabel*>(QStringLiteral("labelSel_1")))
        , comboLanguage(dialog.findChild<QComboBox*>(QStringLiteral("comboLanguage")))
        , groupBasic(dialog.findChild<QGroupBox*>(QStringLiteral("groupBasic")))
        , checkCeiling(dialog.findChild<QCheckBox*>(QStringLiteral("checkCeiling")))
        , checkRear(dialog.findChild<QCheckBox*>(QStringLiteral("checkRear")))
        , groupLens(dialog.findChild<QGroupBox*>(QStringLiteral("groupLens")))
        , labelSel_2(dialog.findChild<QLabel*>(QStringLiteral("labelSel_2")))
        , comboLens(dialog.findChild<QComboBox*>(QStringLiteral("comboLens")))
        , groupAdjust(dialog.findChild<QGroupBox*>(QStringLiteral("groupAdjust")))
        , textEditInfo1(dialog.findChild<QTextEdit*>(QStringLiteral("textEditInfo1")))
        , pushView(dialog.findChild<QPushButton*>(QStringLiteral("pushView")))
        , groupCalib(dialog.findChild<QGroupBox*>(QStringLiteral("groupCalib")))
        , labelInfo3(dialog.findChild<QLabel*>(QStringLiteral("labelInfo3")))
        , textEditInfo3(dialog.findChild<QTextEdit*>(QStringLiteral("textEditInfo3")))
        , pushAutoCalib(dialog.findChild<QPushButton*>(QStringLiteral("pushAutoCalib")))
        , checkSemiAutoCalib(dialog.findChild<QCheckBox*>(QStringLiteral("checkSemiAutoCalib")))
        , pushManualCalib(dialog.findChild<QPushButton*>(QStringLiteral("pushManualCalib")))
        , pushClearEEPROM(dialog.findChild<QPushButton*>(QStringLiteral("pushClearEEPROM")))
        , pushTCDebug(dialog.findChild<QPushButton*>(QStringLiteral("pushTCDebug")))
        , pushClose(dialog.findChild<QPushButton*>(QStringLiteral("pushClose")))
        , labelFWVersion(dialog.findChild<QLabel*>(QStringLiteral("labelFWVersion")))
        , labelSWVersion(dialog.findChild<QLabel*>(QStringLiteral("labelSWVersion"))) {}

    QLabel* label;
    QGroupBox* groupMode;
    QRadioButton* radioPen;
    QRadioButton* radioFinger;
    QGroupBox* groupLanguage;
    QLabel* labelUse;
    QLabel* labelUseL;
    QLabel* labelSel_1;
    QComboBox* comboLanguage;
    QGroupBox* groupBasic;
    QCheckBox* checkCeiling;
    QCheckBox* checkRear;
    QGroupBox* groupLens;
    QLabel* labelSel_2;
    QComboBox* comboLens;
    QGroupBox* groupAdjust;
    QTextEdit* textEditInfo1;
    QPushButton* pushView;
    QGroupBox* groupCalib;
    QLabel* labelInfo3;
    QTextEdit* textEditInfo3;
    QPushButton* pushAutoCalib;
    QCheckBox* checkSemiAutoCalib;
    QPushButton* pushManualCalib;
    QPushButton* pushClearEEPROM;
    QPushButton* pushTCDebug;
    QPushButton* pushClose;
    QLabel* labelFWVersion;
    QLabel* labelSWVersion;
};
