#include "ZelmoMainCtrlFixture.h"

TEST_F(ZelmoMainCtrlTest, FirmwareVersionFlags) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    QSignalSpy relayed(&ctrl, &ZelmoMainCtrl::sigSetFWVersion);
    EXPECT_EQ(ctrl.firmwareMinor(), 10);

    ctrl.slotSetFWVersion(QStringLiteral("50.07"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 1);
    EXPECT_EQ(ctrl.firmwareMinor(), 10);

    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 1);
    EXPECT_EQ(ctrl.firmwareMinor(), 0);

    ctrl.slotSetFWVersion(QStringLiteral("51.12"));
    EXPECT_EQ(ctrl.firmwareMinor(), 12);

    ctrl.slotSetFWVersion(QStringLiteral("52.00"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 0);
    EXPECT_EQ(ctrl.firmwareMinor(), 12);
    ctrl.StartACalibration();
    ctrl.StartSCalibration();
    ctrl.StartMCalibration();
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());

    // A minor that is not a number: the major still counts, the minor is kept.
    ctrl.slotSetFWVersion(QStringLiteral("51.x"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 1);
    EXPECT_EQ(ctrl.firmwareMinor(), 12);
    ctrl.slotSetFWVersion(QString());
    EXPECT_EQ(ctrl.firmwareIsSupported(), 0);

    ASSERT_EQ(relayed.count(), 6);
    EXPECT_EQ(relayed.at(3).at(0).toString(), QStringLiteral("52.00"));
}

TEST_F(ZelmoMainCtrlTest, StoredTuningRecord) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    auto block = eepromWithCount(3, 3, 2);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 3);
    EXPECT_EQ(ctrl.storedTweaks().offsets[2], QPointF(3.5, -4.25));
    EXPECT_EQ(ctrl.storedTweaks().offsets[3], QPointF());
    EXPECT_EQ(ctrl.storedTweaks().lens, 2);

    // Count 0 clears the cached offsets.
    block = eepromWithCount(0, 5, 1);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 0);
    EXPECT_EQ(ctrl.storedTweaks().offsets[0], QPointF());

    // 25 is the most the block holds.
    block = eepromWithCount(25, 25, 3);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 25);
    EXPECT_EQ(ctrl.storedTweaks().offsets[24], QPointF(25.5, -26.25));
}

TEST_F(ZelmoMainCtrlTest, UnusableTuningRecordsLeaveNoOffsets) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    auto good = eepromWithCount(4, 4, 3);
    for (std::int32_t bad : {26, -1, 0x7fffffff, static_cast<std::int32_t>(0x80000000)}) {
        ctrl.slotSetPrevTweak(good.data());
        ASSERT_EQ(ctrl.storedTweaks().count, 4);
        auto block = eepromWithCount(bad, 25, 3);
        ctrl.slotSetPrevTweak(block.data());
        EXPECT_EQ(ctrl.storedTweaks().count, 0) << bad;
        EXPECT_EQ(ctrl.storedTweaks().offsets[0], QPointF()) << bad;
        EXPECT_EQ(ctrl.storedTweaks().lens, 0) << bad;
    }
    // Offsets that are not numbers.
    auto block = eepromWithCount(2, 2, 3);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(block.data() + 128, &nan, 4);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 0);
    ctrl.slotSetPrevTweak(nullptr);
    EXPECT_EQ(ctrl.storedTweaks().count, 0);
}

TEST_F(ZelmoMainCtrlTest, LiveFramesBecomeGreyImagesThatOwnTheirBytes) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    QSignalSpy images(&ctrl, &ZelmoMainCtrl::sigUpdateAlignImage);
    std::vector<unsigned char> frame(230400);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 7);
    ctrl.slotNewFrameReceived(frame.data(), 230400);
    ASSERT_EQ(images.count(), 1);
    const QImage first = images.at(0).at(0).value<QImage>();
    EXPECT_EQ(first.size(), QSize(640, 360));
    EXPECT_EQ(first.format(), QImage::Format_Grayscale8);
    const unsigned char g = frame[641];
    EXPECT_EQ(first.pixel(1, 1), qRgb(g, g, g));

    // The next frame arrives in the same buffer: the image already handed on keeps its pixels.
    std::fill(frame.begin(), frame.end(), 0);
    ctrl.slotNewFrameReceived(frame.data(), 230400);
    ASSERT_EQ(images.count(), 2);
    EXPECT_EQ(first.pixel(1, 1), qRgb(g, g, g));
    EXPECT_EQ(images.at(1).at(0).value<QImage>().pixel(1, 1), qRgb(0, 0, 0));
}

TEST_F(ZelmoMainCtrlTest, LiveFramesOfTheWrongSizeStopTheStream) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    QSignalSpy images(&ctrl, &ZelmoMainCtrl::sigUpdateAlignImage);
    std::vector<unsigned char> frame(921600, 128);
    ctrl.slotNewFrameReceived(frame.data(), 230399);
    ctrl.slotNewFrameReceived(frame.data(), 230401);
    ctrl.slotNewFrameReceived(frame.data(), 921600);
    ctrl.slotNewFrameReceived(frame.data(), -1);
    ctrl.slotNewFrameReceived(nullptr, 230400);
    EXPECT_EQ(images.count(), 0);
}

TEST_F(ZelmoMainCtrlTest, ResultMessages) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    QSignalSpy stored(&ctrl, &ZelmoMainCtrl::sigCalibrationStored);
    ctrl.slotSetCalibResult(1);
    EXPECT_TRUE(boxes.empty());
    // Success is not silent: the settings window is told, without a box.
    EXPECT_EQ(stored.count(), 1);
    ctrl.slotSetCalibResult(0);
    EXPECT_EQ(stored.count(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, MessageBoxSeam::Kind::Critical);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Vexaro"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Calibration failed. Please try again."));
}

TEST_F(ZelmoMainCtrlTest, WatcherReportsArriveQueuedOnTheGuiThread) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    QObject receiver; // lives in the GUI thread
    QList<bool> state;
    bool onGuiThread = true;
    QObject::connect(&ctrl, &ZelmoMainCtrl::sigChangeUIState, &receiver, [&](bool connected) {
        onGuiThread = onGuiThread && QThread::currentThread() == receiver.thread();
        state.append(connected);
    });
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(ctrl);
    std::thread watch([&client] {
        client.setConnected(true);
        client.reportOpened();
        client.setConnected(false);
        client.reportAbsent();
    });
    watch.join();
    EXPECT_EQ(ctrl.firmwareIsSupported(), 0);
    EXPECT_FALSE(client.isConnected());
    EXPECT_TRUE(state.isEmpty()); // queued, not yet delivered
    ASSERT_EVENTUALLY_EQ(state.size(), 2);
    EXPECT_TRUE(state.at(0));
    EXPECT_FALSE(state.at(1));
    EXPECT_TRUE(onGuiThread);
}

TEST_F(ZelmoMainCtrlTest, WatcherStartsOnceAndStopsWithTheController) {
    // ThreadSanitizer starts a helper thread of its own with the process's first thread.
    std::thread([] {}).join();
    const int threadsBefore = processThreadCount();
    auto ctrl = std::make_unique<ZelmoMainCtrl>(&texts, EmptyBusTransport::create());
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(*ctrl);
    const int threadsUnwatched = processThreadCount(); // the USB library may run one of its own
    ctrl->StartDeviceWatch();
    EXPECT_FALSE(client.watchStopRequested());
    ctrl->StartDeviceWatch();
    EXPECT_EQ(processThreadCount(), threadsUnwatched + 1) << "one watch thread, not two";
    ctrl.reset(); // must not hang or leave the thread running over a deleted device link
    EXPECT_EQ(processThreadCount(), threadsBefore);
}

TEST_F(ZelmoMainCtrlTest, AlignmentModeSwitchesTheLiveStream) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    EXPECT_EQ(ctrl.device()->liveStreamStopped(), 1);
    ctrl.StartAlignmentDisplay();
    EXPECT_EQ(ctrl.device()->liveStreamStopped(), 0);
    ctrl.StopAlignmentDisplay();
    EXPECT_EQ(ctrl.device()->liveStreamStopped(), 1);
}

// A module on the bus that cannot be opened: M1 once per episode, not every watch cycle; an open or
// an absence ends the episode.
TEST_F(ZelmoMainCtrlTest, CannotConnectIsSaidOncePerEpisode) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(ctrl);
    std::thread watch([&client] {
        for (int i = 0; i < 3; ++i)
            client.reportOpenFailed();
    });
    watch.join();
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error! Cannot connect to Vexaro."));
    EXPECT_EQ(boxes[0].title, QStringLiteral("Vexaro"));
    client.reportOpenFailed();
    client.reportAbsent();
    client.reportOpenFailed();
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 2);
    client.reportOpened();
    client.reportOpenFailed();
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 3);
    client.reportOpenFailed();
    // A marker queued behind it: once it has run, a box from the call above would have been shown.
    bool markerRan = false;
    QMetaObject::invokeMethod(
        &ctrl, [&markerRan] { markerRan = true; }, Qt::QueuedConnection);
    ASSERT_EVENTUALLY(markerRan);
    EXPECT_EQ(boxes.size(), 3u);
}

// A known reason travels as a value to the GUI thread and replaces the M1 box: the settings window
// says it with what to do. An open failure of another kind still gets its box.
TEST_F(ZelmoMainCtrlTest, KnownOpenFailuresAreToldInTheWindowNotInABox) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    QObject receiver; // lives in the GUI thread
    QList<ModuleProblem> problems;
    bool onGuiThread = true;
    QObject::connect(&ctrl, &ZelmoMainCtrl::sigModuleProblem, &receiver, [&](ModuleProblem problem) {
        onGuiThread = onGuiThread && QThread::currentThread() == receiver.thread();
        problems.append(problem);
    });
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(ctrl);
    std::thread watch([&client] {
        client.reportProblem(ModuleProblem::noPermission);
        client.reportOpenFailed();
        client.reportProblem(ModuleProblem::noHidInterface);
        client.reportOpenFailed();
        client.reportProblem(ModuleProblem::noModule);
        client.reportAbsent();
        client.reportProblem(ModuleProblem::openFailed);
        client.reportOpenFailed();
    });
    watch.join();
    ASSERT_EVENTUALLY_EQ(problems.size(), 4);
    EXPECT_EQ(problems, (QList<ModuleProblem>{ModuleProblem::noPermission, ModuleProblem::noHidInterface,
                                              ModuleProblem::noModule, ModuleProblem::openFailed}));
    EXPECT_TRUE(onGuiThread);
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error! Cannot connect to Vexaro."));
}

// The module lost during a calibration: the flow ends, the user is told (M19), nothing stays armed;
// lost while no flow runs, nothing is said. The hub hears of the loss after the controller handled
// it and before the message box opens (whose own event loop must find the settings window updated).
TEST_F(ZelmoMainCtrlTest, ModuleLostDuringACalibrationEndsTheFlow) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    ctrl.deviceLost();
    EXPECT_TRUE(boxes.empty());
    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    ctrl.setLens(3);
    ctrl.StartMCalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 3);
    ctrl.ratioCheckFlow().touchCaptureArmed.store(true);
    struct Told {
        int step;
        bool windowShown;
        bool armed;
        size_t boxes;
    };
    std::vector<Told> told;
    QObject::connect(&ctrl, &ZelmoMainCtrl::sigChangeUIState, &ctrl, [&](bool present) {
        if (!present)
            told.push_back({ctrl.currentFlowStep(), ctrl.calibWindow()->isVisible(),
                            ctrl.ratioCheckFlow().touchCaptureArmed.load(), boxes.size()});
    });
    ctrl.deviceLost();
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Vexaro is disconnected from the PC."));
    EXPECT_FALSE(ctrl.calibWindow() && ctrl.calibWindow()->isVisible());
    EXPECT_FALSE(ctrl.ratioCheckFlow().touchCaptureArmed.load());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].step, 0);
    EXPECT_FALSE(told[0].windowShown);
    EXPECT_FALSE(told[0].armed);
    EXPECT_EQ(told[0].boxes, 0u);

    // An automatic run fails for want of the module, and says so.
    boxes.clear();
    ctrl.StartACalibration();
    ASSERT_TRUE(stepPainted(ctrl));
    ctrl.slotACNextStep();
    ASSERT_TRUE(stepPainted(ctrl));
    ASSERT_EQ(ctrl.currentFlowStep(), 7);
    ctrl.deviceLost();
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Calibration failed. Please try again.\n\nThe module stopped answering or was "
                             "unplugged. Check the USB cable, then try again.");
}

// The watch thread's absent report reaches the controller's own handling, on the GUI thread and
// once a report: the flow ends, and the hub is told once.
TEST_F(ZelmoMainCtrlTest, AbsentReportFromTheWatchThreadIsHandledByTheController) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.StartMCalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 3);
    QSignalSpy told(&ctrl, &ZelmoMainCtrl::sigChangeUIState);
    bool onGuiThread = false;
    QObject::connect(&ctrl, &ZelmoMainCtrl::sigChangeUIState, &ctrl,
                     [&] { onGuiThread = QThread::currentThread() == ctrl.thread(); });
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(ctrl);
    std::thread watch([&client] { client.reportAbsent(); });
    watch.join();
    ASSERT_EVENTUALLY_EQ(told.count(), 1);
    EXPECT_FALSE(told.at(0).at(0).toBool());
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_EQ(ctrl.firmwareIsSupported(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Vexaro is disconnected from the PC."));
}
