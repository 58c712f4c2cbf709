#include "device/DeviceWatch.h"

#include "device/DeviceWatchClient.h"
#include "device/ModuleDiscovery.h"
#include "platform/Pacing.h"

DeviceWatch::DeviceWatch(UsbTransport& transport, const std::atomic<bool>& usbReady, Link linkHooks)
    : usb(transport)
    , ready(usbReady)
    , link(std::move(linkHooks)) {}

ModuleProblem DeviceWatch::look(const DeviceWatchClient& client) {
    if (!ready.load())
        return ModuleProblem::openFailed;
    // A connected module needs only to stay on the bus; one to be opened needs its HID collection
    // too, and when it lacks it the user is told so rather than to plug it in.
    if (client.isConnected())
        return ModuleDiscovery::isPresent(usb, false) ? ModuleProblem::none : ModuleProblem::noModule;
    return ModuleDiscovery::findReady(usb);
}

void DeviceWatch::run(DeviceWatchClient& client) {
    while (!client.watchStopRequested()) {
        const ModuleProblem problem = look(client);
        if (problem != ModuleProblem::none) {
            const bool wasConnected = client.isConnected();
            if (wasConnected)
                link.stopReceiving(); // the handle stays; the next open closes it
            client.setConnected(false);
            // A module that just left is reported at once, so that a running flow ends within
            // one second; while it stays away the cycles keep their slower pace.
            if (!wasConnected)
                Pacing::pause(1000);
            client.reportProblem(problem);
            client.reportAbsent();
        } else if (!client.isConnected() || link.linkLost()) {
            // Also reopens a module that left and came back between two cycles: the old handle
            // is dead for good and would leave the link silent.
            ModuleProblem whyNot = ModuleProblem::none;
            if (link.open(&whyNot)) {
                client.setConnected(true);
                client.reportOpened();
            } else {
                client.reportProblem(whyNot);
                client.reportOpenFailed();
            }
        }
        if (!waitCycle(client))
            return;
    }
}

bool DeviceWatch::waitCycle(DeviceWatchClient& client) {
    for (int i = 0; i < 5; ++i) {
        if (client.watchStopRequested())
            return false;
        Pacing::pause(1000);
        // An open module is looked for every second, so that its leaving ends a flow within one
        // such step; the next cycle starts at once to report it.
        if (client.isConnected() && ready.load() && !ModuleDiscovery::isPresent(usb, false))
            return true;
    }
    return true;
}
