#include "app/LanguageTexts.h"
#include "app/MessageBoxSeam.h"
#include "app/SingleApplication.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "platform/Platform.h"
#include "sim/SimulatedModule.h"
#include "ui/ZelmoSetupDlg.h"

#include <QIcon>
#include <memory>

namespace {
bool wantsSimulation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--simulate") == 0)
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv) {
    const bool simulate = wantsSimulation(argc, argv);
    SingleApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.1.3"));
    Platform::installFontSubstitutes();

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
            exitCode = QApplication::exec();
        } else {
            MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(1));
            exitCode = 1;
        }
    }
    return exitCode;
}
