#include "calibration/CalibDlg.h"

#include "calibration/PatternGeometry.h"
#include "calibration/PatternPainter.h"
#include "platform/DisplayProvider.h"
#include "platform/Platform.h"
#include "services/GuidanceText.h"
#include "services/LanguageTexts.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTouchEvent>

Q_LOGGING_CATEGORY(lcCalibWindow, "vexaro.calibration.window", QtWarningMsg)

namespace {
constexpr int penSize = 113;
constexpr int penHalf = 56;
constexpr int ringTickMs = 20;
constexpr int ringStepDegrees = 36;
constexpr int glideMs = 400;
// A requested paint is reported after this long even when none came (a hidden window paints not).
constexpr int paintFallbackMs = 31;

QPointF asFloat32(double x, double y) {
    return QPointF(static_cast<float>(x), static_cast<float>(y));
}
} // namespace

CalibDlg::CalibDlg(LanguageTexts* languageTexts, QWidget* parent)
    : QDialog(parent)
    , texts(languageTexts) {
    setObjectName(QStringLiteral("CalibDlg"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("Dialog"));

    pen = new QLabel(this);
    pen->setObjectName(QStringLiteral("label"));
    pen->setAlignment(Qt::AlignCenter);
    // The pen is pressed on the picture: the window itself must get the press and the release,
    // also when the picture hides under the pressed mouse after the last target.
    pen->setAttribute(Qt::WA_TransparentForMouseEvents);

    QFont buttonFont(QStringLiteral("Tahoma"), 10);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("pushButton"));
    cancelButton->setGeometry(140, 30, 91, 31);
    cancelButton->setFont(buttonFont);
    leftButton = new QPushButton(QStringLiteral("Left"), this);
    leftButton->setObjectName(QStringLiteral("pushButtonLeft"));
    leftButton->setGeometry(40, 30, 91, 31);
    leftButton->setFont(buttonFont);
    QMetaObject::connectSlotsByName(this);

    penImage = QPixmap(QStringLiteral(":/Zelmo/pen1"));
    pen->setPixmap(penImage);
    pen->setGeometry(penRect(targets[0]));

    penAnimation = std::make_unique<QPropertyAnimation>(pen, "geometry");
    penAnimation->setDuration(glideMs);

    ringTimer = std::make_unique<QTimer>();
    ringTimer->setInterval(ringTickMs);
    connect(ringTimer.get(), &QTimer::timeout, this, &CalibDlg::OnTimer);

    paintFallback = std::make_unique<QTimer>();
    paintFallback->setSingleShot(true);
    paintFallback->setInterval(paintFallbackMs);
    connect(paintFallback.get(), &QTimer::timeout, this, &CalibDlg::reportPainted);

    setAttribute(Qt::WA_AcceptTouchEvents);
    installEventFilter(this);
}

CalibDlg::~CalibDlg() {
    ringTimer->stop();
    ringTimer.reset();
    paintFallback->stop();
    paintFallback.reset();
    penAnimation->stop();
    penAnimation.reset();
}

QRect CalibDlg::penRect(const QPointF& target) {
    return QRect(PatternGeometry::nearest(target.x() - penHalf),
                 PatternGeometry::nearest(target.y() - penHalf), penSize, penSize);
}

void CalibDlg::PrepareDisplay(int paintModeValue) {
    mode = paintModeValue;
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setCursor(Qt::BlankCursor);

    const DisplayProvider& displays = Platform::displays();
    const QRect covered = displays.coveredDisplay();
    scale = covered.isEmpty() ? 1.0 : displays.logicalDpiOf(covered) / 96.0;
    screenWidth = covered.width();
    screenHeight = covered.height();
    setGeometry(covered);
    cancelButton->hide();
    leftButton->hide();
    // C3, "Vexaro Calibration", in the current language: what task bars and window lists show.
    if (texts)
        setWindowTitle(texts->getConfigText(2));

    instructionImage = QImage(QStringLiteral(":/Zelmo/irpen"));
    penArt = instructionImage.copy(InstructionLayout::penArtInPicture());
    if (!instructionImage.isNull() && screenWidth > 0 && screenHeight > 0)
        instructionImage = instructionImage.scaled(screenWidth, screenHeight, Qt::IgnoreAspectRatio,
                                                   Qt::SmoothTransformation);
}

void CalibDlg::ComputeTargets(TargetSet set) {
    targets.fill(QPointF());
    switch (set) {
    case TargetSet::Automatic: {
        pen->hide();
        const auto automatic = PatternGeometry::automaticTargets(screenWidth, screenHeight);
        for (size_t i = 0; i < automatic.size(); ++i)
            targets[i] = asFloat32(automatic[i].x(), automatic[i].y());
        break;
    }
    case TargetSet::Manual: {
        pen->show();
        const auto manual = PatternGeometry::manualTargets(screenWidth, screenHeight);
        for (size_t i = 0; i < manual.size(); ++i)
            targets[i] = asFloat32(manual[i].x(), manual[i].y());
        break;
    }
    case TargetSet::SemiAutomatic: {
        pen->show();
        const auto renumbered = PatternGeometry::semiAutomaticTargets(screenWidth, screenHeight);
        for (size_t i = 0; i < renumbered.size(); ++i)
            targets[i] = asFloat32(renumbered[i].x(), renumbered[i].y());
        break;
    }
    }
    cancelButton->hide();
    leftButton->hide();
    if (set != TargetSet::Automatic)
        pen->setGeometry(penRect(targets[0]));
}

void CalibDlg::requestPaint() {
    paintPending = true;
    paintFallback->start();
}

void CalibDlg::reportPainted() {
    if (!paintPending)
        return;
    paintPending = false;
    paintFallback->stop();
    emit painted();
}

void CalibDlg::showAndPaint() {
    requestPaint();
    show();
}

void CalibDlg::repaintAs(int paintModeValue) {
    if (paintModeValue != KeepMode)
        mode = paintModeValue;
    requestPaint();
    update();
}

void CalibDlg::useInstallation(const InstallationSettings* settings) {
    installation = settings;
}

void CalibDlg::ringOn() {
    ringActive = true;
    ringDegrees = 0;
    ringTimer->start(ringTickMs);
    update();
}

void CalibDlg::ringOff() {
    ringActive = false;
    paintRings(Qt::white, 360);
    ringTimer->stop();
    ringDegrees = 0;
    update();
}

// Paints the three rings of the pen picture, red while filling and white when done.
void CalibDlg::paintRings(const QColor& colour, int spanDegrees) {
    if (penImage.isNull())
        return;
    QPainter painter(&penImage);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 7));
    painter.setBrush(Qt::NoBrush);
    const QRectF rings[3] = {QRectF(19, 19, 74.5, 74.5), QRectF(31, 31, 51, 51), QRectF(43.2, 43.2, 26, 26)};
    for (const QRectF& ring : rings) {
        if (spanDegrees >= 360)
            painter.drawEllipse(ring);
        else
            painter.drawArc(ring, 0, spanDegrees * 16);
    }
    painter.end();
    pen->setPixmap(penImage);
}

void CalibDlg::OnTimer() {
    if (ringDegrees <= 360) {
        ringDegrees += ringStepDegrees;
        paintRings(QColor(255, 0, 0), ringDegrees);
    } else {
        paintRings(Qt::white, 360);
        // Completed: report once; the flow's answer switches the ring off and moves on. A timer
        // left running would report the same completion every tick until then.
        ringTimer->stop();
        qCDebug(lcCalibWindow) << "ring complete on target" << currentTarget + 1 << "of" << touchTargetCount;
        emit sigMCNextStepPointer();
    }
    pen->update();
}

void CalibDlg::glide(int from, int to) {
    auto rectOf = [this](int index) {
        const int bounded = qBound(0, index, maxTargets - 1);
        return penRect(targets[static_cast<size_t>(bounded)]);
    };
    penAnimation->stop();
    penAnimation->setStartValue(rectOf(from));
    penAnimation->setEndValue(rectOf(to));
    penAnimation->start();
}

void CalibDlg::animateForward() {
    if (currentTarget == touchTargetCount)
        pen->hide();
    glide(currentTarget - 1, currentTarget);
}

void CalibDlg::animateBack() {
    pen->show(); // hidden when the last target was reached
    glide(currentTarget + 1, currentTarget);
}

void CalibDlg::on_pushButton_clicked() {
    if (!isVisible())
        return;
    hide();
    emit sigCaliDlgWorkingDone(false);
}

void CalibDlg::on_pushButtonLeft_clicked() {
    if (isVisible())
        emit sigMCPrevStepPointer();
}

void CalibDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        on_pushButton_clicked();
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        on_pushButtonLeft_clicked();
        break;
    default:
        break;
    }
    event->accept();
}

bool CalibDlg::eventFilter(QObject* watched, QEvent* event) {
    if (!touchCapture || !touchCapture->load())
        return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::TouchBegin && type != QEvent::TouchUpdate && type != QEvent::TouchEnd)
        return QDialog::eventFilter(watched, event);

    const auto* touch = static_cast<QTouchEvent*>(event);
    QWidget* target = qobject_cast<QWidget*>(watched);
    if (!target)
        target = this;
    for (const QTouchEvent::TouchPoint& point : touch->touchPoints()) {
        if (point.state() != Qt::TouchPointReleased)
            continue;
        const QPoint local(static_cast<int>(point.pos().x()), static_cast<int>(point.pos().y()));
        const QPoint global = target->mapToGlobal(local);
        touchCapture->store(false);
        emit sigTouchEvent(global.x(), global.y());
    }
    return true;
}

// The title band already shows CW1; the block says how to touch, to hold, and how to go back.
QString CalibDlg::instructionText() const {
    if (!texts)
        return QString();
    return texts->getCalibWindowText(1) + QStringLiteral("\n") +
           LanguageTexts::guidance(GuidanceText::HoldPen) + QStringLiteral("\n") +
           texts->getCalibWindowText(3);
}

void CalibDlg::showHint(const QString& text) {
    if (text == hintText)
        return;
    hintText = text;
    update();
}

InstructionLayout CalibDlg::instructionLayout() const {
    const bool hasTarget =
        currentTarget >= 0 && currentTarget < touchTargetCount && currentTarget < maxTargets;
    const QPointF target = hasTarget ? targets[static_cast<size_t>(currentTarget)] : QPointF();
    return InstructionLayout(QSize(screenWidth, screenHeight), font(),
                             InstructionLayout::Texts{instructionText(), progressText(), hintText}, hasTarget,
                             target);
}

// The picture is drawn without its pen drawing, which goes with the text block where the layout
// puts it, clear of the current target.
void CalibDlg::paintInstruction(QPainter& painter) {
    if (currentTarget > touchTargetCount - 1)
        return;
    const InstructionLayout layout = instructionLayout();
    if (!instructionImage.isNull()) {
        painter.drawImage(QRect(0, 0, screenWidth, screenHeight), instructionImage);
        const QRect art = InstructionLayout::penArtInPicture();
        painter.fillRect(QRect(art.x() * screenWidth / 1280, art.y() * screenHeight / 800,
                               art.width() * screenWidth / 1280 + 2, art.height() * screenHeight / 800 + 2),
                         Qt::black);
        if (!layout.penPicture().isEmpty())
            painter.drawImage(layout.penPicture(), penArt);
    }
    paintTitle(painter, layout.titleBand());
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setLayoutDirection(texts && texts->isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    painter.setPen(Qt::white);
    painter.drawText(layout.textBlock(), flags, instructionText());
    painter.setPen(QColor(200, 200, 200));
    painter.drawText(layout.counter(), flags, progressText());
    if (!hintText.isEmpty()) {
        painter.setPen(QColor(255, 210, 80)); // stands out from the instructions
        painter.drawText(layout.hint(), flags, hintText);
    }
    painter.restore();
}

// The picture's title word is English; it is painted over (the flourish under it too) and CW1 of
// the current language is drawn large and in italics in the layout's title band.
void CalibDlg::paintTitle(QPainter& painter, const QRect& band) {
    if (!texts || screenHeight <= 0)
        return;
    const double rowScale = screenHeight / 800.0;
    const QRect word = InstructionLayout::titleInPicture();
    painter.fillRect(QRect(0, static_cast<int>(word.y() * rowScale), screenWidth,
                           static_cast<int>(word.height() * rowScale) + 1),
                     Qt::black);
    QFont title = painter.font();
    title.setPixelSize(qMax(1, static_cast<int>(72 * rowScale)));
    title.setItalic(true);
    painter.save();
    painter.setFont(title);
    painter.setPen(QColor(0xf2, 0xf2, 0xf2));
    painter.drawText(band, Qt::AlignCenter, texts->getCalibWindowText(0));
    painter.restore();
}

QString CalibDlg::analysingText() const {
    const QString escapeHint = texts ? texts->getCalibWindowText(2) : QString();
    return LanguageTexts::guidance(GuidanceText::Analysing) + QStringLiteral("\n\n") + escapeHint;
}

// The camera has taken its pictures: the screen is free for a message in the middle third.
void CalibDlg::paintAnalysing(QPainter& painter) {
    painter.fillRect(0, 0, screenWidth, screenHeight, Qt::black);
    if (screenHeight <= 0)
        return;
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(qMax(1, screenHeight / 28));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setLayoutDirection(texts && texts->isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    const QRect band(screenWidth / 10, screenHeight / 3, screenWidth * 8 / 10, screenHeight / 3);
    painter.drawText(band, Qt::AlignCenter | Qt::TextWordWrap, analysingText());
    painter.restore();
}

// Below the instructions: which target of how many is current, and that Escape ends the run
// (CW3). The camera watches only the pen in the touch phases, so text here changes nothing it sees.
QString CalibDlg::progressText() const {
    const QString escapeHint = texts ? texts->getCalibWindowText(2) : QString();
    return QStringLiteral("%1 / %2").arg(currentTarget + 1).arg(touchTargetCount) + QStringLiteral("\n") +
           escapeHint;
}

void CalibDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    switch (mode) {
    case Black:
        painter.fillRect(0, 0, screenWidth, screenHeight, Qt::black);
        break;
    case White:
        painter.fillRect(0, 0, screenWidth, screenHeight, Qt::white);
        break;
    case Instruction:
        paintInstruction(painter);
        break;
    case Analysing:
        paintAnalysing(painter);
        break;
    case Pattern: {
        static const InstallationSettings unmounted;
        const InstallationSettings& mounting = installation ? *installation : unmounted;
        // Always the row-by-row automatic positions: the pattern is what the analysis looks for,
        // whatever numbering the touch phase keeps in the target list.
        PatternPainter::paint(painter, screenWidth, screenHeight,
                              PatternGeometry::automaticTargets(screenWidth, screenHeight), mounting.ceiling,
                              mounting.rear);
        break;
    }
    default:
        break;
    }
    reportPainted();
}

// Alt+F4 or the window manager's close ends the calibration as Escape does; hiding alone would
// leave the module and the flow waiting in their step.
void CalibDlg::closeEvent(QCloseEvent* event) {
    on_pushButton_clicked();
    event->ignore();
}

// The covering window takes the keyboard while it is up, so that Escape, Backspace and Delete
// reach it even when the settings window kept the focus (no window manager, or one that
// prevents focus stealing).
void CalibDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    qCDebug(lcCalibWindow) << "calibration window shown";
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    grabKeyboard();
}

void CalibDlg::hideEvent(QHideEvent* event) {
    qCDebug(lcCalibWindow) << "calibration window hidden";
    releaseKeyboard();
    unsetCursor();
    event->accept();
}
