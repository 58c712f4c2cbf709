#include "harness/SimulationSession.h"

#include "calibration/CalibDlg.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/UsbTransport.h"
#include "harness/DesktopBridge.h"
#include "harness/MousePen.h"
#include "harness/ScreenCamera.h"
#include "harness/VirtualRig.h"
#include "platform/DisplayProvider.h"
#include "platform/Platform.h"
#include "sim/SimulatedModule.h"
#include "ui/AlignmentDlg.h"
#include "ui/MainDlg.h"
#include "ui/TouchTestCanvas.h"
#include "ui/ZelmoSetupDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

Q_DECLARE_LOGGING_CATEGORY(lcSimulation)

namespace {

void clickButton(QWidget* window, const char* name) {
    if (auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name)))
        button->click();
}

void pressKey(QWidget* window, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
}

} // namespace

SimulationSession::SimulationSession()
    : module(std::make_unique<SimulatedModule>())
    , bridge(std::make_unique<DesktopBridge>()) {
    VirtualRig rig;
    const QRect display = Platform::displays().coveredDisplay();
    if (!display.isEmpty()) {
        rig.screenWidth = display.width();
        rig.screenHeight = display.height();
    }
    module->setFrameSource(std::make_unique<ScreenCamera>(*bridge, rig));
    DesktopBridge* desktop = bridge.get();
    module->setCoordHandler([desktop](int, int x, int y) { desktop->injectOutputTouch(x, y); });
    auto pen = std::make_unique<MousePen>(*module, rig);
    mousePen = pen.get();
    module->setPenBehaviour(std::move(pen));
    transport = module->createTransport();
}

SimulationSession::~SimulationSession() = default;

std::unique_ptr<UsbTransport> SimulationSession::takeTransport() {
    return std::move(transport);
}

void SimulationSession::attach(ZelmoSetupDlg& hub, bool readStdin) {
    if (CalibDlg* window = hub.controller()->calibWindow())
        window->installEventFilter(this);
    touchTest = hub.touchTestCanvas();
    if (touchTest)
        touchTest->installEventFilter(this);
    addHooks(hub);
    hooks.start(readStdin);
}

// The mouse on the calibration window and on the touch test is the pen: pressed is the tip on the
// screen. On the touch test only the mouse itself counts: the touch the module sends back arrives
// there too, and a mouse event made from it must not touch again.
bool SimulationSession::eventFilter(QObject* watched, QEvent* event) {
    if (watched == touchTest) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && mouse->source() == Qt::MouseEventNotSynthesized) {
                const QPointF at = mouse->globalPos() - Platform::displays().coveredDisplay().topLeft();
                mousePen->touch(at.x(), at.y());
            }
        }
    } else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (event->type() == QEvent::MouseButtonPress) {
                const QRect display = Platform::displays().coveredDisplay();
                const QPointF at = mouse->globalPos() - display.topLeft();
                mousePen->press(at.x(), at.y());
            } else {
                mousePen->release();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

// The same actions a person at the desk would take, for tests that drive the real program.
void SimulationSession::addHooks(ZelmoSetupDlg& hub) {
    SimulatedModule* m = module.get();
    hooks.addCommand(QStringLiteral("unplug"), [m] { m->unplug(); });
    hooks.addCommand(QStringLiteral("replug"), [m] { m->plug(); });
    hooks.addCommand(QStringLiteral("view"), [&hub] { clickButton(hub.settingsWindow(), "pushView"); });
    hooks.addCommand(QStringLiteral("ok"), [&hub] { clickButton(hub.alignmentView(), "pushButton"); });
    hooks.addCommand(QStringLiteral("f11"), [&hub] { pressKey(hub.alignmentView(), Qt::Key_F11); });
    hooks.addCommand(QStringLiteral("escape"), [&hub] { pressKey(hub.alignmentView(), Qt::Key_Escape); });
    for (int step = 0; step < AlignmentDlg::gainSteps; ++step)
        hooks.addCommand(QStringLiteral("gain%1").arg(step),
                         [&hub, step] { hub.alignmentView()->setGain(step); });
    // What the alignment view shows against what the module took: the slider, the gain register
    // pair and the AV mode line.
    hooks.addCommand(QStringLiteral("gainstate"), [&hub, m] {
        AlignmentDlg* view = hub.alignmentView();
        const auto* slider = view->findChild<QSlider*>(QStringLiteral("hSlideAlignmentViewGain"));
        const auto* mode = view->findChild<QLabel*>(QStringLiteral("labelMode"));
        qCDebug(lcSimulation).nospace().noquote()
            << "alignment slider " << (slider ? slider->value() : -1) << " module gain " << m->sensorGain()
            << " mode line " << (mode && mode->isVisible() ? mode->text() : QStringLiteral("hidden"));
    });
    // The calibration window with the automatic pattern, as the automatic calibration puts it up.
    hooks.addCommand(QStringLiteral("pattern"), [&hub] {
        CalibDlg* window = hub.controller()->calibWindow();
        window->PrepareDisplay(CalibDlg::Pattern);
        window->ComputeTargets(CalibDlg::TargetSet::Automatic);
        window->showAndPaint();
    });
    hooks.addCommand(QStringLiteral("endpattern"),
                     [&hub] { pressKey(hub.controller()->calibWindow(), Qt::Key_Escape); });
    hooks.addCommand(QStringLiteral("auto"), [&hub] { clickButton(hub.settingsWindow(), "pushAutoCalib"); });
    hooks.addCommand(QStringLiteral("tuning"), [&hub] {
        if (auto* box = hub.settingsWindow()->findChild<QCheckBox*>(QStringLiteral("checkSemiAutoCalib")))
            box->setChecked(true);
    });
    hooks.addCommand(QStringLiteral("ceiling"), [&hub] {
        if (auto* box = hub.settingsWindow()->findChild<QCheckBox*>(QStringLiteral("checkCeiling")))
            box->click();
    });
    hooks.addCommand(QStringLiteral("manual"),
                     [&hub] { clickButton(hub.settingsWindow(), "pushManualCalib"); });
    hooks.addCommand(QStringLiteral("test"), [&hub] { clickButton(hub.settingsWindow(), "pushTouchTest"); });
    // The message box on top: its Details button, or closed as Escape would close it. Queued, so
    // that the hook returns before the window it opens runs its own loop.
    hooks.addCommand(QStringLiteral("details"), [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
            }
        }
    });
    hooks.addCommand(QStringLiteral("dismiss"), [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    });
    hooks.addCommand(QStringLiteral("close"), [&hub] { hub.settingsWindow()->close(); });
}
