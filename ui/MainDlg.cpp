#include "ui/MainDlg.h"

#include "platform/DisplayProvider.h"
#include "platform/Platform.h"
#include "services/LanguageTexts.h"
#include "services/ParagraphDirection.h"
#include "ui/AccuracyText.h"
#include "ui/GroupMirror.h"
#include "ui/ModuleStatusView.h"
#include "ui/PermissionAdvice.h"
#include "ui/SettingsFormArrangement.h"
#include "ui/TextFitting.h"
#include "ui_MainDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

namespace {
const QString firmwarePrefix = QStringLiteral("Firmware Version : ");
const QString softwarePrefix = QStringLiteral("Software Version : ");
const QString versionSeparator = QStringLiteral(" : ");
constexpr int statusShownMs = 6000;
// The margin around the strip that replaces the status room.
constexpr int statusStripMargin = 20;

// 8 points at 96 DPI.
constexpr double designFontPixels = 8.0 * 96.0 / 72.0;

int scaled(int v, double scale) {
    return static_cast<int>(v * scale);
}

QRect scaledRect(const QRect& r, double scale) {
    return QRect(scaled(r.x(), scale), scaled(r.y(), scale), scaled(r.width(), scale),
                 scaled(r.height(), scale));
}

} // namespace

MainDlg::MainDlg(LanguageTexts* languageTexts, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::MainDlg>())
    , texts(languageTexts) {
    // The lens travels by signature; registered so that it can also cross threads and be recorded.
    qRegisterMetaType<eLens>("eLens");
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->label->setPixmap(QPixmap(QStringLiteral(":/Zelmo/vis")));

    // The font follows the language at start-up only; a later language change keeps it.
    const int languageIndex = texts ? texts->getLanguageIndex() : LanguageTexts::englishIndex;
    // The form grows with the logical DPI, as its fonts do, but never beyond the screen: on a
    // small screen at a high scaling both shrink together so the whole window stays usable.
    const DisplayProvider& displays = Platform::displays();
    arrangement = std::make_unique<SettingsFormArrangement>(SettingsFormArrangement::chosen(
        displays.primaryLogicalDpi() / 96.0, displays.primaryAvailableSize()));
    scale = arrangement->scale();
    // 8 points at 96 DPI, in pixels at the form's scale: texts keep the size the form's geometry
    // was laid out for, whatever DPI the platform reports to the font system.
    QFont dialogFont(Platform::dialogFontFamily(languageIndex));
    dialogFont.setPixelSize(qMax(1, qRound(designFontPixels * scale)));
    setFont(dialogFont);
    arrangement->arrange(this);

    ui->labelFWVersion->setText(firmwarePrefix);
    ui->labelSWVersion->setText(softwarePrefix + QCoreApplication::applicationVersion());
    ui->pushTCDebug->hide();
    ui->pushClearEEPROM->hide();
    // The status line sits in the room the hidden service buttons leave below the calibration box:
    // it shows the module's connection state, and for a few seconds that a calibration was stored.
    connectionLabel = new ModuleStatusView(this);
    connectionLabel->setObjectName(QStringLiteral("labelConnection"));
    connectionLabel->setGeometry(arrangement->statusRoom());
    statusTimer = new QTimer(this);
    statusTimer->setSingleShot(true);
    connect(statusTimer, &QTimer::timeout, this, [this] {
        transientStatus.clear();
        showConnectionState();
    });

    setFixedSize(scaled(arrangement->designSize().width(), scale),
                 scaled(arrangement->designSize().height(), scale));
    scaleGeometry();
    SettingsFormArrangement::fitRowHeights(this);

    tuningAutoPos = ui->pushAutoCalib->pos();
    tuningSemiPos = ui->checkSemiAutoCalib->pos();
    tuningManualPos = ui->pushManualCalib->pos();
    // Without tuning the two buttons close up round the check box's place; the test stays put.
    plainAutoPos = QPoint(tuningAutoPos.x() + scaled(50, scale), tuningAutoPos.y());
    plainManualPos = QPoint(tuningManualPos.x() - scaled(50, scale), tuningManualPos.y());
    ui->pushTouchTest->setEnabled(false);

    placeCalibButtons(3);
    lens = 3;
    updating = false;
    showConnectionState();
}

MainDlg::~MainDlg() = default;

void MainDlg::scaleGeometry() {
    for (QWidget* widget : SettingsFormArrangement::formWidgets(this))
        widget->setGeometry(scaledRect(widget->geometry(), scale));
    // The wide arrangement's banner is smaller than its picture.
    ui->label->setScaledContents(scale > 1.0 || arrangement->isCompact());
}

// The tuning check box sits between the two buttons only for lens types that offer tuning.
void MainDlg::placeCalibButtons(int lensValue) {
    const bool tuningOffered = lensValue >= 1 && lensValue <= 3;
    ui->pushAutoCalib->hide();
    ui->pushManualCalib->hide();
    ui->checkSemiAutoCalib->hide();
    if (tuningOffered) {
        ui->pushAutoCalib->move(GroupMirror::placed(ui->pushAutoCalib, tuningAutoPos));
        ui->checkSemiAutoCalib->move(GroupMirror::placed(ui->checkSemiAutoCalib, tuningSemiPos));
        ui->pushManualCalib->move(GroupMirror::placed(ui->pushManualCalib, tuningManualPos));
        ui->pushAutoCalib->show();
        ui->checkSemiAutoCalib->show();
        ui->pushManualCalib->show();
    } else {
        ui->pushAutoCalib->move(GroupMirror::placed(ui->pushAutoCalib, plainAutoPos));
        ui->pushManualCalib->move(GroupMirror::placed(ui->pushManualCalib, plainManualPos));
        ui->pushAutoCalib->show();
        ui->pushManualCalib->show();
    }
}

void MainDlg::enableCalibControls(bool enable) {
    ui->pushAutoCalib->setEnabled(enable);
    ui->pushManualCalib->setEnabled(enable);
    ui->checkSemiAutoCalib->setEnabled(enable);
    // Switched off for want of a model: the buttons say why when pointed at.
    const QString why = lens == 0 ? modelNotChosenText() : QString();
    ui->pushAutoCalib->setToolTip(why);
    ui->pushManualCalib->setToolTip(why);
}

QString MainDlg::modelNotChosenText() const {
    return LanguageTexts::guidance(GuidanceText::ModelNotChosen)
        .arg(texts ? texts->getConfigText(24) : QString());
}

bool MainDlg::rightToLeft() const {
    return texts && texts->isRightToLeft();
}

void MainDlg::setFirmwareVersion(QString version) {
    firmwareVersion = version;
    showVersions();
}

// C33 and C34 name the versions; a table without them keeps the English names.
void MainDlg::showVersions() {
    const QString firmware = texts ? texts->getConfigText(32) : QString();
    const QString software = texts ? texts->getConfigText(33) : QString();
    ui->labelFWVersion->setText((firmware.isEmpty() ? firmwarePrefix : firmware + versionSeparator) +
                                firmwareVersion);
    ui->labelSWVersion->setText((software.isEmpty() ? softwarePrefix : software + versionSeparator) +
                                QCoreApplication::applicationVersion());
}

void MainDlg::setDeviceOptions(uchar ceiling, uchar rear, uchar finger, uchar reportedLens) {
    ui->checkCeiling->setChecked(ceiling != 0);
    ui->checkRear->setChecked(rear != 0);
    if (finger != 0)
        ui->radioFinger->setChecked(true);
    else
        ui->radioPen->setChecked(true);
    if (reportedLens >= 5)
        return;

    lens = 0;
    lensIndex = 0;
    for (int i = 1; i < ui->comboLens->count(); ++i) {
        if (ui->comboLens->itemData(i).toInt() == reportedLens) {
            lens = reportedLens;
            lensIndex = i;
            break;
        }
    }
    // Selecting from code must not run the user's lens handler: the lens is announced once below.
    updating = true;
    ui->comboLens->setCurrentIndex(lensIndex);
    updating = false;
    enableCalibControls(lens != 0);
    placeCalibButtons(lens);
    applyLanguage();
}

void MainDlg::changeUIState(bool bEnable) {
    // The language box stays usable without a module: the guidance is read in it.
    QWidget* const deviceControls[] = {ui->textEditInfo1, ui->textEditInfo3, ui->checkCeiling, ui->checkRear,
                                       ui->labelUse,      ui->labelSel_1,    ui->labelUseL,    ui->pushView,
                                       ui->labelInfo3,    ui->radioPen,      ui->radioFinger,  ui->labelSel_2,
                                       ui->comboLens};
    for (QWidget* widget : deviceControls)
        widget->setEnabled(bEnable);
    enableCalibControls(bEnable && lens != 0);
    if (!bEnable) {
        firmwareVersion.clear();
        showVersions();
        touchTestAvailable = false;
        accuracy = PointingAccuracy(); // no longer about the module in use
    } else {
        moduleProblem = ModuleProblem::none;
    }
    ui->pushTouchTest->setEnabled(bEnable && touchTestAvailable);
    deviceConnected = bEnable;
    showConnectionState();
}

void MainDlg::showModuleProblem(ModuleProblem problem) {
    moduleProblem = problem;
    showConnectionState();
}

// In order: a stored calibration's accuracy or tick, why the module cannot be used, and M15
// "Vexaro Status" with M16 "Connection" or M17 "Disconnection" (the sentence, M18 or M19, is the
// tooltip).
void MainDlg::showConnectionState() {
    using Tone = ModuleStatusView::Tone;
    const int languageIndex = texts ? texts->getLanguageIndex() : LanguageTexts::englishIndex;
    connectionLabel->setLayoutDirection(rightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    // A table that lacks a text falls back to what the tables had before it, never to an empty room.
    QString problemText;
    if (!deviceConnected && moduleProblem == ModuleProblem::noModule)
        problemText = LanguageTexts::guidance(GuidanceText::NoModule);
    else if (!deviceConnected && moduleProblem == ModuleProblem::noPermission)
        problemText =
            LanguageTexts::guidance(PermissionAdvice::ruleInstalledHere() ? GuidanceText::RuleNotApplied
                                                                          : GuidanceText::NoPermission);
    else if (!deviceConnected && moduleProblem == ModuleProblem::noHidInterface)
        problemText = LanguageTexts::guidance(GuidanceText::NoHidInterface);
    const bool accuracyShown =
        deviceConnected && accuracy.known() && !LanguageTexts::guidance(GuidanceText::Accuracy).isEmpty();
    if (notice != GuidanceText::None && !LanguageTexts::guidance(notice).isEmpty()) {
        connectionLabel->showMessage(LanguageTexts::guidance(notice), Tone::plain);
    } else if (accuracyShown) {
        const bool poor = accuracy.grade() == PointingAccuracy::Grade::poor;
        connectionLabel->showMessage(AccuracyText::of(accuracy, languageIndex),
                                     poor ? Tone::problem : Tone::good);
    } else if (!transientStatus.isEmpty() || (deviceConnected && accuracy.known())) {
        connectionLabel->showMessage(storedTick(), Tone::good);
    } else if (!problemText.isEmpty()) {
        const bool permission = moduleProblem == ModuleProblem::noPermission;
        connectionLabel->showMessage(problemText, Tone::problem,
                                     permission ? PermissionAdvice::commandHere() : QString());
    } else {
        connectionLabel->showMessage(LanguageTexts::getMessageText(14) + QStringLiteral(" : ") +
                                         LanguageTexts::getMessageText(deviceConnected ? 15 : 16),
                                     Tone::plain);
    }
    connectionLabel->setToolTip(LanguageTexts::getMessageText(deviceConnected ? 17 : 18));
    placeStatusView();
}

void MainDlg::showNotice(GuidanceText shown) {
    notice = shown;
    showConnectionState();
}

void MainDlg::clearNotice() {
    if (notice == GuidanceText::None)
        return;
    notice = GuidanceText::None;
    showConnectionState();
}

void MainDlg::placeStatusView() {
    const int stripBottom = connectionLabel->placeIn(scaledRect(arrangement->statusRoom(), scale),
                                                     scaled(arrangement->statusStripTop(), scale), width(),
                                                     scaled(statusStripMargin, scale), font());
    const int height =
        stripBottom < 0 ? scaled(arrangement->designSize().height(), scale) : stripBottom + scaled(8, scale);
    if (this->height() != height)
        setFixedSize(width(), height);
}

QString MainDlg::storedTick() const {
    // A check mark and C27, "Calibration", read in every language.
    return QStringLiteral("\u2713 ") + (texts ? texts->getConfigText(26) : QString());
}

void MainDlg::showCalibrationStored() {
    transientStatus = storedTick();
    showConnectionState();
    statusTimer->start(statusShownMs);
}

void MainDlg::setTouchTestAvailable(bool available) {
    touchTestAvailable = available;
    ui->pushTouchTest->setEnabled(deviceConnected && touchTestAvailable);
}

void MainDlg::showCalibrationStored(const PointingAccuracy& stored) {
    accuracy = stored;
    if (!accuracy.known()) {
        showCalibrationStored();
        return;
    }
    transientStatus.clear();
    statusTimer->stop();
    showConnectionState();
}

void MainDlg::forgetAccuracy() {
    if (!accuracy.known())
        return;
    accuracy = PointingAccuracy();
    showConnectionState();
}

void MainDlg::resetUIState() {
    changeUIState(false);
}

void MainDlg::insertInfoText(QTextEdit* box, const QString& text) {
    TextFitting::fitInfoText(box, text, scaled(20, scale), font(),
                             rightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
}

// Captions wider than their widgets get a smaller font.
void MainDlg::fitCaptions() {
    for (QWidget* widget : SettingsFormArrangement::formWidgets(this)) {
        if (widget == connectionLabel)
            continue; // it wraps, and the window makes room for it
        TextFitting::shrinkCaption(widget, font());
    }
}

void MainDlg::applyLanguage() {
    showConnectionState();
    updating = true;
    ui->textEditInfo1->clear();
    ui->textEditInfo3->clear();
    ui->comboLanguage->clear();
    ui->comboLens->clear();

    for (QWidget* widget : SettingsFormArrangement::formWidgets(this))
        widget->setFont(font());

    const QString selectItem = QStringLiteral("-- ") + texts->getConfigText(23) + QStringLiteral(" --");
    setWindowTitle(texts->getConfigText(0));
    ui->groupBasic->setTitle(texts->getConfigText(3));
    ui->checkCeiling->setText(texts->getConfigText(18));
    ui->checkRear->setText(texts->getConfigText(19));
    ui->groupLanguage->setTitle(texts->getConfigText(21));
    ui->labelUse->setText(texts->getConfigText(22));
    ui->labelSel_1->setText(texts->getConfigText(23));
    ui->radioPen->setText(texts->getTrayMenuText(4));
    ui->radioFinger->setText(texts->getTrayMenuText(5));
    ui->groupLens->setTitle(texts->getConfigText(24));
    ui->labelSel_2->setText(texts->getConfigText(23));

    ui->comboLens->addItem(selectItem, 0);
    ui->comboLens->addItem(texts->getConfigText(17), 3);
    ui->comboLens->setCurrentIndex(lensIndex);

    ui->comboLanguage->addItem(selectItem);
    for (int i = 0; i < LanguageTexts::languageCount; ++i)
        ui->comboLanguage->addItem(texts->getLanguageName(i));
    languageComboIndex = texts->getLanguageIndex() + 1;
    ui->comboLanguage->setCurrentIndex(languageComboIndex);
    ui->labelUseL->setText(texts->getLanguageName(texts->getLanguageIndex()));

    ui->groupAdjust->setTitle(texts->getConfigText(25));
    insertInfoText(ui->textEditInfo1,
                   texts->getMessageText(8) + QLatin1Char('\n') + texts->getMessageText(9));
    ui->pushView->setText(texts->getTrayMenuText(1));
    ui->groupCalib->setTitle(texts->getConfigText(26));
    ui->labelInfo3->setText(
        ParagraphDirection::inLanguageDirection(texts->getMessageText(10), rightToLeft()));
    if (!ui->checkSemiAutoCalib->isHidden())
        insertInfoText(ui->textEditInfo3, texts->getMessageText(12) + QLatin1Char('\n') +
                                              texts->getMessageText(20) + QLatin1Char('\n') +
                                              texts->getMessageText(11));
    else if (lens != 0)
        insertInfoText(ui->textEditInfo3,
                       texts->getMessageText(12) + QLatin1Char('\n') + texts->getMessageText(11));
    else
        insertInfoText(ui->textEditInfo3, texts->getMessageText(12) + QLatin1Char('\n') +
                                              texts->getMessageText(11) + QLatin1Char('\n') +
                                              modelNotChosenText());
    ui->pushAutoCalib->setText(texts->getConfigText(15));
    ui->pushManualCalib->setText(texts->getConfigText(14));
    ui->checkSemiAutoCalib->setText(texts->getConfigText(29));
    ui->pushTouchTest->setText(LanguageTexts::guidance(GuidanceText::TestButton));
    ui->pushClose->setText(texts->getTrayMenuText(10));
    // The design's "Mode" where a table lacks C32.
    const QString modeTitle = texts->getConfigText(31);
    ui->groupMode->setTitle(modeTitle.isEmpty() ? QStringLiteral("Mode") : modeTitle);
    showVersions();
    enableCalibControls(ui->pushAutoCalib->isEnabled());

    fitCaptions();
    SettingsFormArrangement::fitRowHeights(this);

    const Qt::LayoutDirection direction = texts->isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    for (QGroupBox* group :
         {ui->groupMode, ui->groupBasic, ui->groupLanguage, ui->groupAdjust, ui->groupCalib, ui->groupLens})
        GroupMirror::setDirection(group, direction);
    updating = false;
    showConnectionState(); // in the new language and its font
}

void MainDlg::on_comboLanguage_currentIndexChanged(int index) {
    if (updating || index <= 0 || index == languageComboIndex)
        return;
    // Item k names the language with index k - 1, whose saved id is k.
    texts->loadLanguage(index);
    applyLanguage();
}

void MainDlg::on_pushView_clicked() {
    forgetAccuracy();
    emit sigStartAlignmentDisplay();
}

void MainDlg::on_pushAutoCalib_clicked() {
    forgetAccuracy();
    if (!ui->checkSemiAutoCalib->isChecked()) {
        emit sigStartACalibration();
    } else {
        emit sigStartSCalibration();
        ui->checkSemiAutoCalib->setChecked(false);
    }
}

void MainDlg::on_pushManualCalib_clicked() {
    forgetAccuracy();
    emit sigStartMCalibration();
}

void MainDlg::on_pushTouchTest_clicked() {
    emit sigStartTouchTest();
}

void MainDlg::on_checkCeiling_clicked() {
    forgetAccuracy();
    emit sigSetCeiling(ui->checkCeiling->isChecked());
}

void MainDlg::on_checkRear_clicked() {
    forgetAccuracy();
    emit sigSetRear(ui->checkRear->isChecked());
}

void MainDlg::on_pushClose_clicked() {
    close();
}

void MainDlg::on_pushTCDebug_clicked() {}

void MainDlg::on_radioPen_clicked() {
    forgetAccuracy();
    emit sigSetFingerMode(false);
}

void MainDlg::on_radioFinger_clicked() {
    forgetAccuracy();
    emit sigSetFingerMode(true);
}

void MainDlg::on_comboLanguage_highlighted(int) {}

void MainDlg::on_comboLens_currentIndexChanged(int index) {
    if (index < 0 || updating)
        return;
    forgetAccuracy();
    lens = ui->comboLens->itemData(index).toInt();
    lensIndex = index;
    enableCalibControls(lens != 0);
    emit sigSetLens(lens);
    placeCalibButtons(lens);
    applyLanguage();
}

void MainDlg::on_comboLens_highlighted(int) {}

void MainDlg::keyPressEvent(QKeyEvent* event) {
    // Escape closes the program; the dialog's own key handling (default button, reject) never runs.
    if (event->key() == Qt::Key_Escape && isVisible())
        emit sigClose(0);
    event->accept();
}

void MainDlg::closeEvent(QCloseEvent* event) {
    hide();
    destroy(true, true);
    emit sigClose(0);
    event->accept();
}
