#include "app/CommandLine.h"
#include "app/SingleApplication.h"
#include "device/LibusbTransport.h"
#include "device/UsbTransport.h"
#include "harness/SimulationSession.h"
#include "platform/Pacing.h"
#include "platform/Platform.h"
#include "services/LanguageTexts.h"
#include "services/MessageBoxSeam.h"
#include "ui/ZelmoSetupDlg.h"

#include <QIcon>
#include <QLoggingCategory>
#include <memory>

// Application-level events (message boxes), for observing a run from outside.
Q_LOGGING_CATEGORY(lcApp, "vexaro.app", QtWarningMsg)

namespace {
// Every box is noted on the diagnostics category before it is shown.
QMessageBox::StandardButton showAndNote(const MessageBoxSeam::Shown& shown) {
    qCDebug(lcApp).noquote() << "message box:" << shown.title << "|" << shown.text;
    return MessageBoxSeam::showBox(nullptr, shown);
}

bool wantsSimulation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--simulate") == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto exitCode = CommandLine::answerInfoRequest(argc, argv))
        return *exitCode;
    if (const auto exitCode = CommandLine::refuseMistypedOption(argc, argv))
        return *exitCode;
    const bool simulate = wantsSimulation(argc, argv);
    SingleApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(CommandLine::version());
    Platform::installFontSubstitutes();
    if (lcApp().isDebugEnabled())
        MessageBoxSeam::setHandler(showAndNote);

    // The simulated module stands in for the hardware; it outlives the graph that talks to it.
    std::unique_ptr<SimulationSession> simulation;
    std::unique_ptr<UsbTransport> transport;
    if (simulate) {
        simulation = std::make_unique<SimulationSession>();
        transport = simulation->takeTransport();
    } else {
        transport = std::make_unique<LibusbTransport>();
    }

    int exitCode = 0;
    {
        ZelmoSetupDlg hub(nullptr, std::move(transport));
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/Zelmo/icon")));
        Pacing::pause(2000);

        if (app.isPrimaryInstance()) {
            hub.hide();
            hub.startUp();
            app.listenForOtherInstances([&hub] { return hub.answerAnotherInstance(); });
            if (simulation)
                simulation->attach(hub);
            exitCode = QApplication::exec();
        } else {
            // The first instance brings its window forward. While it calibrates it keeps the
            // calibration in front with the keyboard, so no box may open over it: this one ends
            // without a word, and the calibration the user started simply goes on.
            const auto reply = SingleApplication::askPrimaryToRaise(2000);
            if (reply == InstanceChannel::Reply::busy)
                qCDebug(lcApp) << "another instance is calibrating; leaving without a message";
            else
                MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(1));
            exitCode = 1;
        }
    }
    return exitCode;
}
