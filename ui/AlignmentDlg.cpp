#include "ui/AlignmentDlg.h"

#include "platform/DisplayProvider.h"
#include "platform/Pacing.h"
#include "platform/Platform.h"
#include "services/LanguageTexts.h"
#include "ui/AlignmentLayout.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSlider>
#include <QWindow>

const unsigned short AlignmentDlg::gainTable[gainSteps] = {16, 32, 64, 128, 192, 256, 384, 512, 768, 1023};

namespace {
constexpr int imageWidth = AlignmentLayout::imageWidth;
constexpr int imageHeight = AlignmentLayout::imageHeight;

QFrame* makeLine(QWidget* parent, const char* name, QFrame::Shape shape) {
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(shape);
    line->setStyleSheet(QStringLiteral("background-color: rgb(255, 0, 0);"));
    return line;
}
} // namespace

AlignmentDlg::AlignmentDlg(QWidget* parent)
    : QDialog(parent) {
    buildForm();
    connect(gainSlider, &QSlider::valueChanged, gainNumber, qOverload<int>(&QLCDNumber::display));
    connect(gainSlider, &QSlider::sliderReleased, this, &AlignmentDlg::valueAlignmentGain);
    // A drag is sent once, on release, so it does not flood the module; a change without a
    // release (keys, a click on the track, the wheel) is sent once when it is made.
    connect(gainSlider, &QSlider::valueChanged, this, [this] {
        if (!settingGain && !gainSlider->isSliderDown())
            valueAlignmentGain();
    });
    // Live frames may arrive faster than the display shows them: only the newest one is painted,
    // at most once per display refresh.
    repaintTimer.setSingleShot(true);
    connect(&repaintTimer, &QTimer::timeout, this, &AlignmentDlg::showPendingImage);
    for (QWidget* w : registerPanel)
        w->hide();
    for (QWidget* w : optionPanel)
        w->hide();
}

AlignmentDlg::~AlignmentDlg() = default;

QLabel* AlignmentDlg::addLabel(const char* name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

void AlignmentDlg::buildForm() {
    setObjectName(QStringLiteral("AlignmentDlg"));
    setWindowTitle(QStringLiteral("Dialog"));

    imageLabel = addLabel("label", QString());
    imageLabel->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));
    imageLabel->setFrameShape(QFrame::Panel);
    imageLabel->setAlignment(Qt::AlignCenter);
    // The camera's pixels fill the label whatever size the screen leaves it, sharp at any scale.
    imageLabel->setScaledContents(true);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("pushButton"));

    gainFrame = new QFrame(this);
    gainFrame->setObjectName(QStringLiteral("frame"));
    gainFrame->setStyleSheet(QStringLiteral("border: 1px solid rgb(220, 220, 220);"));
    gainCaption = addLabel("label_7", QStringLiteral("BRIGHTNESS"));
    gainSlider = new QSlider(Qt::Horizontal, this);
    gainSlider->setObjectName(QStringLiteral("hSlideAlignmentViewGain"));
    gainSlider->setRange(0, gainSteps - 1);
    gainSlider->setPageStep(1);
    gainSlider->setTickPosition(QSlider::NoTicks);
    gainNumber = new QLCDNumber(this);
    gainNumber->setObjectName(QStringLiteral("numObjAlignmentViewGain"));
    gainNumber->setFrameShape(QFrame::Box);
    gainNumber->setSegmentStyle(QLCDNumber::Filled);
    gainNumber->setDigitCount(1);

    touchCheck = new QCheckBox(QStringLiteral("Alignment for touch module"), this);
    touchCheck->setObjectName(QStringLiteral("cb_touch"));
    lineTopMin = makeLine(this, "line_topMin", QFrame::HLine);
    lineTopMax = makeLine(this, "line_topMax", QFrame::HLine);
    lineLeftMin = makeLine(this, "line_leftMin", QFrame::VLine);
    lineRightMin = makeLine(this, "line_rightMin", QFrame::VLine);
    modeLabel = addLabel("labelMode", QStringLiteral("AV Mode"));
    // It ends beside OK in either direction of writing.
    modeLabel->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);

    auto addEdit = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    auto addButton = [this](const char* name, const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    registerPanel = {addLabel("label_3", QStringLiteral("CMOS Reg Set")),
                     addLabel("label_4", QStringLiteral("Address (HEX)")),
                     addEdit("lineEditAddr"),
                     addLabel("label_8", QStringLiteral("Value (HEX)")),
                     addEdit("lineEditValue"),
                     addButton("pushButtonSend", QStringLiteral("Send"))};
    imagePositionPanel = {addLabel("labelImgPosX", QStringLiteral("Img Pos X")), addEdit("lineEditImgPosX"),
                          addLabel("labelImgPosY", QStringLiteral("Img Pos Y")), addEdit("lineEditImgPosY"),
                          addButton("pushButtonSetImgPos", QStringLiteral("Set"))};
    static const char* const optionNames[10][2] = {
        {"label_O_1", "lineEditC1_a_bunja"}, {"label_O_2", "lineEditC1_a_bunmo"},
        {"label_O_3", "lineEditC1_b"},       {"label_O_4", "lineEditC2_th"},
        {"label_O_5", "lineEditC1_R_th"},    {"label_O_6", "lineEditC1_B_th"},
        {"label_O_7", "lineEditC1_b_Y_th"},  {"label_O_8", "lineEditC1_b_alt"},
        {"label_O_9", "lineEditC2_th_Y_th"}, {"label_O_A", "lineEditC2_th_alt"}};
    for (const auto& pair : optionNames) {
        // The caption is the edit's name without its "lineEdit" prefix.
        optionPanel.append(addLabel(pair[0], QString::fromLatin1(pair[1] + 8)));
        optionPanel.append(addEdit(pair[1]));
    }
    optionPanel.append(addButton("pushButtonSetOption", QStringLiteral("Set")));

    listWidget = new QListWidget(this);
    listWidget->setObjectName(QStringLiteral("listWidget"));
    listWidget->setFont(QFont(QStringLiteral("Arial"), 9));
    QMetaObject::connectSlotsByName(this);
}

void AlignmentDlg::display(bool on) {
    if (!on) {
        shown = false;
        savedPosition = gainSlider->value();
        repaintTimer.stop();
        pendingImage = QImage();
        hide();
        return;
    }
    shown = true;
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);

    const DisplayProvider& displays = Platform::displays();
    const QRect monitor = displays.coveredDisplay();
    scale = monitor.isEmpty() ? 1.0 : displays.logicalDpiOf(monitor) / 96.0;
    screenWidth = monitor.width();
    screenHeight = monitor.height();
    setGeometry(monitor);

    const int w = screenWidth;
    const int h = screenHeight;
    retranslate();
    placeControls();
    QImage blank(imageLabel->size(), QImage::Format_RGB888);
    blank.fill(Qt::white);
    imageLabel->setPixmap(QPixmap::fromImage(blank));
    listWidget->hide();
    touchCheck->setGeometry(w / 2 - 90, h - 150, 180, 30);
    touchCheck->setChecked(false);
    touchCheck->hide();

    lineTopMin->setGeometry(w / 2 - 310, h / 2 - 170, 620, 2);
    lineTopMax->setGeometry(w / 2 - 310, h / 2 - 123, 620, 2);
    lineLeftMin->setGeometry(w / 2 - 310, h / 2 - 170, 2, 340);
    lineRightMin->setGeometry(w / 2 + 310, h / 2 - 170, 2, 340);
    const QList<QWidget*> guides = {lineTopMin, lineTopMax, lineLeftMin, lineRightMin};
    for (QWidget* guide : guides)
        guide->hide();
    showAvMode();

    setGain(savedPosition);
    Pacing::pause(500);
}

// Beside the image on wide monitors, below it on narrow ones; the image shrinks on a screen too
// small for the classic places.
void AlignmentDlg::placeControls() {
    AlignmentLayout::Input input;
    input.width = screenWidth;
    input.height = screenHeight;
    input.scale = scale;
    input.okHint = okButton->sizeHint();
    input.captionHint = gainCaption->sizeHint();
    input.modeHint = modeLabel->sizeHint();
    const AlignmentLayout layout(input);
    imageLabel->setGeometry(layout.image);
    okButton->setGeometry(layout.okButton);
    gainFrame->setGeometry(layout.frame);
    gainCaption->setGeometry(layout.caption);
    gainSlider->setGeometry(layout.slider);
    gainNumber->setGeometry(layout.number);
    modeLabel->setGeometry(layout.mode);
    placeServicePanels(layout.frame.bottom() + 1 + static_cast<int>(10 * scale));
}

void AlignmentDlg::retranslate() {
    const QString caption = LanguageTexts().getConfigText(brightnessText);
    gainCaption->setText(caption.isEmpty() ? QStringLiteral("BRIGHTNESS") : caption);
    const QString mode = LanguageTexts::guidance(GuidanceText::AlignmentAvMode);
    modeLabel->setText((mode.isEmpty() ? QStringLiteral("AV Mode %1") : mode).arg(avModeCounter));
}

// The AV mode (the module's binning) is shown while it differs from the normal mode 0, so that F11
// visibly changes something.
void AlignmentDlg::showAvMode() {
    retranslate();
    modeLabel->setVisible(shown && avModeCounter != 0);
}

// The service panels are never shown; they keep a place below the gain panel all the same.
void AlignmentDlg::placeServicePanels(int top) {
    const int left = gainFrame->x();
    int y = top;
    for (const QList<QWidget*>* panel : {&registerPanel, &imagePositionPanel, &optionPanel}) {
        int x = left;
        for (QWidget* w : *panel) {
            w->setGeometry(x, y, 70, 20);
            x += 75;
            if (x > left + 300) {
                x = left;
                y += 24;
            }
            w->hide();
        }
        y += 28;
    }
}

void AlignmentDlg::setGain(int position) {
    if (position < 0 || position >= gainSteps)
        return;
    settingGain = true;
    gainSlider->setValue(position);
    settingGain = false;
    gainNumber->display(position);
    emit sigCamParamSendWait(gainTable[position], 0);
}

void AlignmentDlg::showLiveImage(const QImage& image) {
    if (!shown || !isVisible() || image.isNull())
        return;
    // The image owns its bytes, so it is kept as it is. A frame not yet painted is stale now and
    // simply replaced.
    pendingImage = image;
    ++framesReceived;
    if (repaintTimer.isActive())
        return;
    const qint64 sinceLast = lastRepaint.isValid() ? lastRepaint.elapsed() : refreshIntervalMs();
    repaintTimer.start(static_cast<int>(qMax<qint64>(0, refreshIntervalMs() - sinceLast)));
}

void AlignmentDlg::showPendingImage() {
    if (pendingImage.isNull() || !shown || !isVisible()) {
        pendingImage = QImage();
        return;
    }
    imageLabel->setPixmap(QPixmap::fromImage(pendingImage));
    pendingImage = QImage();
    lastRepaint.start();
    ++imagesShown;
}

int AlignmentDlg::refreshIntervalMs() const {
    const QScreen* screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
    const qreal rate = screen ? screen->refreshRate() : 60.0;
    return rate >= 1.0 ? qMax(1, static_cast<int>(1000.0 / rate)) : 16;
}

void AlignmentDlg::on_pushButton_clicked() {
    if (isVisible())
        hide();
    emit sigStopAlignmentDisplay();
}

void AlignmentDlg::valueAlignmentGain() {
    emit sigCamParamSendWait(gainTable[gainSlider->value()], 0);
}

// The view holds the keyboard grab, so every key arrives here first: Escape, F11, Enter and Space
// are the view's own; the rest go on to the focused control (the slider's arrows, Home, End and
// page keys). Tab has already moved the focus before this is called.
void AlignmentDlg::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (!isVisible() || forwardingKey)
        return;
    switch (event->key()) {
    case Qt::Key_Escape:
        hide();
        emit sigStopAlignmentDisplay();
        return;
    case Qt::Key_F11:
        avModeCounter = (avModeCounter + 1) % 3;
        showAvMode();
        emit sigSetBin(avModeCounter);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            okButton->click();
        return;
    default:
        break;
    }
    QWidget* target = focusWidget();
    if (target && target != this && isAncestorOf(target)) {
        // A key the control ignores comes back to the view; the flag ends it there.
        forwardingKey = true;
        QCoreApplication::sendEvent(target, event);
        forwardingKey = false;
    }
}

// The full-screen view takes the keyboard while it is up, so that its keys reach it even when the
// settings window kept the focus; the slider starts with the focus.
void AlignmentDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    gainSlider->setFocus(Qt::ActiveWindowFocusReason);
    grabKeyboard();
}

void AlignmentDlg::hideEvent(QHideEvent* event) {
    releaseKeyboard();
    QDialog::hideEvent(event);
}

// The window manager's close (Alt+F4) acts as OK.
void AlignmentDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    on_pushButton_clicked();
}

void AlignmentDlg::paintEvent(QPaintEvent*) {
    auto s = [this](int v) {
        return static_cast<int>(v * scale);
    };
    const int w = screenWidth;
    const int h = screenHeight;
    QPainter painter(this);
    QPen border(Qt::black, s(50), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(s(50), s(50), w - s(100), h - s(100));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 0));
    const QPoint top[3] = {QPoint(w / 2, 0), QPoint(w / 2 - s(12), s(25)), QPoint(w / 2 + s(12), s(25))};
    const QPoint bottom[3] = {QPoint(w / 2, h), QPoint(w / 2 - s(12), h - s(25)),
                              QPoint(w / 2 + s(12), h - s(25))};
    painter.drawPolygon(top, 3);
    painter.drawPolygon(bottom, 3);
}
