#include "MainDlgWidgets.h"
#include "calibration/CalibDlg.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/CamDevCtrl.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "services/ConfigFile.h"
#include "services/LanguageTexts.h"
#include "services/MessageBoxSeam.h"
#include "tests/support/EmptyBusTransport.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/FakeDisplays.h"
#include "tests/support/GraphTestBase.h"
#include "ui/AlignmentDlg.h"
#include "ui/MainDlg.h"
#include "ui/ZelmoSetupDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList connectWarnings;

void collectConnectWarnings(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (message.contains(QLatin1String("QObject::connect")) ||
        message.contains(QLatin1String("QObject::disconnect")))
        connectWarnings.append(message);
}

class HubTest : public GraphTestBase {};

} // namespace

// Every connect the hub and the controller make resolves: a signature that names no signal or
// slot would only warn, and the link it stands for would be silently missing. What each link does
// is tested where it is used: the module's reports and the settings window below, the flows over
// the simulated module, and the alignment view and the buttons in the simulated runs.
TEST_F(HubTest, EveryConnectionResolves) {
    connectWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectConnectWarnings);
    {
        ZelmoSetupDlg hub(nullptr, EmptyBusTransport::create());
        hub.controller()->StartAlignmentDisplay();
        hub.controller()->StopAlignmentDisplay();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(connectWarnings.isEmpty()) << connectWarnings.join(QLatin1Char('\n')).toStdString();
}

TEST_F(HubTest, RoutesMountingLensAndDeviceState) {
    ZelmoSetupDlg hub(nullptr, EmptyBusTransport::create());
    MainDlg* settings = hub.settingsWindow();
    CalibDlg* calib = hub.controller()->calibWindow();
    settings->applyLanguage();
    // The controller takes the module's options as the installation the calibration draws with,
    // and the settings window shows what the controller keeps; two reports with each value changed
    // catch a broken link or two values swapped on the way.
    const MainDlgWidgets form(*settings);
    emit hub.controller()->device()->sigSetFWOption(1, 0, 1, 3);
    EXPECT_EQ(hub.controller()->installation().ceiling, 1);
    EXPECT_EQ(hub.controller()->installation().rear, 0);
    EXPECT_EQ(hub.controller()->installation().lens, 3);
    EXPECT_TRUE(form.checkCeiling->isChecked());
    EXPECT_FALSE(form.checkRear->isChecked());
    EXPECT_TRUE(form.radioFinger->isChecked());
    EXPECT_EQ(settings->currentLens(), 3);
    // A lens the settings window does not offer leaves no lens chosen.
    emit hub.controller()->device()->sigSetFWOption(0, 1, 0, 2);
    EXPECT_EQ(hub.controller()->installation().ceiling, 0);
    EXPECT_EQ(hub.controller()->installation().rear, 1);
    EXPECT_EQ(hub.controller()->installation().lens, 0);
    EXPECT_FALSE(form.checkCeiling->isChecked());
    EXPECT_TRUE(form.checkRear->isChecked());
    EXPECT_TRUE(form.radioPen->isChecked());
    EXPECT_EQ(settings->currentLens(), 0);
    // 5 and above say nothing of the lens: the one chosen stays, in both.
    hub.controller()->setLens(3);
    emit hub.controller()->device()->sigSetFWOption(0, 0, 0, 7);
    EXPECT_EQ(hub.controller()->installation().lens, 3);
    EXPECT_EQ(hub.controller()->moduleOptions().lens, 7);
    emit hub.controller()->sigSetFWVersion(QStringLiteral("51.05"));
    EXPECT_EQ(MainDlgWidgets(*settings).labelFWVersion->text(), QStringLiteral("Firmware Version : 51.05"));

    emit hub.controller()->sigChangeUIState(true);
    EXPECT_TRUE(MainDlgWidgets(*settings).pushView->isEnabled());
    MainDlgWidgets(*settings).pushView->click();
    EXPECT_TRUE(hub.alignmentView()->isVisible());
    calib->show();
    // The controller handles the loss (its window goes) and then tells the hub.
    hub.controller()->deviceLost();
    EXPECT_FALSE(hub.alignmentView()->isVisible());
    EXPECT_FALSE(calib->isVisible());
    EXPECT_FALSE(MainDlgWidgets(*settings).pushView->isEnabled());
}

TEST_F(HubTest, AlignmentViewOpensOnceAndClosesForCalibration) {
    ZelmoSetupDlg hub(nullptr, EmptyBusTransport::create());
    AlignmentDlg* view = hub.alignmentView();
    QSignalSpy gain(view, &AlignmentDlg::sigCamParamSendWait);
    hub.slotStartAlignmentDisplay();
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(view->isDisplayed());
    EXPECT_EQ(hub.controller()->device()->liveStreamStopped(), 0);
    hub.slotStartAlignmentDisplay(); // already shown: nothing
    EXPECT_EQ(gain.count(), 1);

    QImage frame(640, 360, QImage::Format_RGB888);
    frame.fill(Qt::gray);
    emit hub.controller()->sigUpdateAlignImage(frame);
    ASSERT_EVENTUALLY_EQ(view->liveImagesShown(), 1);

    hub.slotStartACalibration();
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(view->isDisplayed());
    EXPECT_EQ(hub.controller()->device()->liveStreamStopped(), 1);

    hub.slotStartAlignmentDisplay();
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(hub.controller()->device()->liveStreamStopped(), 1);
}

TEST_F(HubTest, ClosingTheSettingsWindowEndsTheRunWithCodeZero) {
    ZelmoSetupDlg hub(nullptr, EmptyBusTransport::create());
    hub.settingsWindow()->show();
    int code = -1;
    QTimer::singleShot(0, &hub, [&hub] { QTest::keyClick(hub.settingsWindow(), Qt::Key_Escape); });
    QTimer stall; // ends the loop if the close never comes; gone with the test
    stall.setSingleShot(true);
    QObject::connect(&stall, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    stall.start(5000);
    code = QCoreApplication::exec();
    EXPECT_EQ(code, 0);
}

TEST_F(HubTest, ShutDownSavesTheLanguageAndRemovesEveryWindow) {
    QPointer<MainDlg> settings;
    QPointer<AlignmentDlg> view;
    QPointer<CalibDlg> calib;
    QPointer<ZelmoMainCtrl> controller;
    {
        ZelmoSetupDlg hub(nullptr, EmptyBusTransport::create());
        settings = hub.settingsWindow();
        view = hub.alignmentView();
        calib = hub.controller()->calibWindow();
        controller = hub.controller();
        hub.languageTexts()->loadLanguage(11); // German, saved id 11
    }
    EXPECT_TRUE(settings.isNull());
    EXPECT_TRUE(view.isNull());
    EXPECT_TRUE(calib.isNull());
    EXPECT_TRUE(controller.isNull());
    QSettings saved(ZelmoSetupDlg::configFilePath(), QSettings::IniFormat);
    EXPECT_EQ(saved.value(QStringLiteral("Configuration/LanguageID")).toInt(), 11);

    // The next start reads it back.
    ZelmoSetupDlg again(nullptr, EmptyBusTransport::create());
    EXPECT_EQ(again.languageTexts()->getLanguageIndex(), 10);
}

TEST_F(HubTest, LanguageChosenInTheSettingsWindowSurvivesARestartWhenAllUsersFolderIsUnwritable) {
    // A file where the all-users folder should be stands for a folder this user cannot write.
    QFile blocker(dataDir.path() + "/Norvale");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTemporaryDir userConfig;
    ASSERT_TRUE(userConfig.isValid());
    const QByteArray previousHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(userConfig.path()));
    {
        ZelmoSetupDlg hub(nullptr, EmptyBusTransport::create());
        hub.settingsWindow()->applyLanguage();
        MainDlgWidgets(*hub.settingsWindow()).comboLanguage->setCurrentIndex(11); // German
        ASSERT_EQ(hub.languageTexts()->getLanguageIndex(), 10);
    }
    EXPECT_FALSE(QFileInfo::exists(ZelmoSetupDlg::configFilePath()));
    EXPECT_TRUE(QFileInfo::exists(userConfig.path() + "/Norvale/Vexaro/config.ini"));
    {
        ZelmoSetupDlg again(nullptr, EmptyBusTransport::create());
        EXPECT_EQ(again.languageTexts()->getLanguageIndex(), 10);
    }
    if (previousHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", previousHome);
}

// The module lost during a calibration: the settings window is disabled before the message opens
// (the box runs its own event loop, in which a replug may arrive), and a replug taken in while the
// box is open is not undone when it closes. Another instance then raises an idle settings window,
// but not over a calibration.
TEST_F(HubTest, LossMessageComesAfterTheWindowStateAndAReplugUnderItStays) {
    ZelmoSetupDlg hub(nullptr, EmptyBusTransport::create());
    MainDlg* settings = hub.settingsWindow();
    QPushButton* manual = settings->findChild<QPushButton*>(QStringLiteral("pushManualCalib"));
    ASSERT_NE(manual, nullptr);
    hub.slotChangeUIState(true);
    hub.controller()->slotSetFWVersion(QStringLiteral("51.05"));
    hub.controller()->setLens(3);
    hub.controller()->StartMCalibration();
    ASSERT_EQ(hub.controller()->currentFlowStep(), 3);
    EXPECT_FALSE(hub.answerAnotherInstance()) << "a calibration keeps the front";

    int boxes = 0;
    bool enabledUnderBox = true;
    MessageBoxSeam::setHandler([&](const MessageBoxSeam::Shown&) {
        ++boxes;
        enabledUnderBox = manual->isEnabled();
        hub.slotChangeUIState(true); // the replug, noticed while the box is open
        return QMessageBox::Ok;
    });
    hub.controller()->deviceLost(); // as the watch thread's absent report has it done
    MessageBoxSeam::setHandler({});
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(enabledUnderBox);
    EXPECT_EQ(hub.controller()->currentFlowStep(), 0);
    EXPECT_TRUE(manual->isEnabled()) << "the replug stays in force after the box";
    EXPECT_TRUE(hub.answerAnotherInstance());
}
