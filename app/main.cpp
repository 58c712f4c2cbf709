#include "app/LanguageTexts.h"
#include "app/MessageBoxSeam.h"
#include "app/SimulationHooks.h"
#include "app/SingleApplication.h"
#include "calibration/CalibDlg.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "platform/Platform.h"
#include "sim/SimulatedModule.h"
#include "ui/AlignmentDlg.h"
#include "ui/MainDlg.h"
#include "ui/ZelmoSetupDlg.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QPushButton>
#include <memory>
#include <type_traits>

// Application-level events (message boxes), for observing a run from outside.
Q_LOGGING_CATEGORY(lcApp, "vexaro.app", QtWarningMsg)

namespace {
// Every box is noted on the diagnostics category before it is shown.
QMessageBox::StandardButton showAndNote(const MessageBoxSeam::Shown& shown) {
    qCDebug(lcApp).noquote() << "message box:" << shown.title << "|" << shown.text;
    if (shown.kind == MessageBoxSeam::Kind::Critical)
        return QMessageBox::critical(nullptr, shown.title, shown.text, QMessageBox::Ok);
    return QMessageBox::information(nullptr, shown.title, shown.text, QMessageBox::Ok);
}

bool wantsSimulation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--simulate") == 0)
            return true;
    }
    return false;
}

// Unplug and replug reach the simulated module when it offers them.
template <typename Module, typename = void>
struct CanReplug : std::false_type {};
template <typename Module>
struct CanReplug<
    Module, std::void_t<decltype(std::declval<Module&>().plug()), decltype(std::declval<Module&>().unplug())>>
    : std::true_type {};

template <typename Module>
void setPlugged(Module& module, bool plugged) {
    if constexpr (CanReplug<Module>::value) {
        if (plugged)
            module.plug();
        else
            module.unplug();
    } else {
        (void)module;
        (void)plugged;
    }
}

void clickButton(QWidget* window, const char* name) {
    if (auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name)))
        button->click();
}

void pressKey(QWidget* window, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
}

// The --simulate test hook: the same actions a person at the desk would take.
void installSimulationHooks(SimulationHooks& hooks, SimulatedModule& module, ZelmoSetupDlg& hub) {
    hooks.addCommand(QStringLiteral("unplug"), [&module] { setPlugged(module, false); });
    hooks.addCommand(QStringLiteral("replug"), [&module] { setPlugged(module, true); });
    hooks.addCommand(QStringLiteral("view"), [&hub] { clickButton(hub.settingsWindow(), "pushView"); });
    hooks.addCommand(QStringLiteral("ok"), [&hub] { clickButton(hub.alignmentView(), "pushButton"); });
    hooks.addCommand(QStringLiteral("f11"), [&hub] { pressKey(hub.alignmentView(), Qt::Key_F11); });
    hooks.addCommand(QStringLiteral("escape"), [&hub] { pressKey(hub.alignmentView(), Qt::Key_Escape); });
    for (int step = 0; step < AlignmentDlg::gainSteps; ++step)
        hooks.addCommand(QStringLiteral("gain%1").arg(step),
                         [&hub, step] { hub.alignmentView()->setGain(step); });
    // The calibration window with the automatic pattern, as the automatic calibration puts it up.
    hooks.addCommand(QStringLiteral("pattern"), [&hub] {
        CalibDlg* window = hub.controller()->calibWindow();
        window->PrepareDisplay(CalibDlg::Pattern);
        window->ComputeTargets(CalibDlg::TargetSet::Automatic);
        window->ShowAndWait();
    });
    hooks.addCommand(QStringLiteral("endpattern"),
                     [&hub] { pressKey(hub.controller()->calibWindow(), Qt::Key_Escape); });
    hooks.addCommand(QStringLiteral("close"), [&hub] { hub.settingsWindow()->close(); });
}
} // namespace

int main(int argc, char** argv) {
    const bool simulate = wantsSimulation(argc, argv);
    SingleApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.1.3"));
    Platform::installFontSubstitutes();
    if (lcApp().isDebugEnabled())
        MessageBoxSeam::setHandler(showAndNote);

    // The simulated module stands in for the hardware; it outlives the graph that talks to it.
    std::unique_ptr<SimulatedModule> module;
    std::unique_ptr<UsbTransport> transport;
    if (simulate) {
        module = std::make_unique<SimulatedModule>();
        transport = module->createTransport();
    }

    int exitCode = 0;
    {
        ZelmoSetupDlg hub(nullptr, std::move(transport));
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/Zelmo/icon")));
        Pacing::pause(2000);

        if (app.isPrimaryInstance()) {
            hub.hide();
            hub.startUp();
            SimulationHooks hooks;
            if (module) {
                installSimulationHooks(hooks, *module, hub);
                hooks.start(true);
            }
            exitCode = QApplication::exec();
        } else {
            MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(1));
            exitCode = 1;
        }
    }
    return exitCode;
}
