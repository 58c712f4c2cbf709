#include "ui/AlignmentDlg.h"
#include "platform/Pacing.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/FakeDisplays.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AlignmentDlgTest : public ::testing::Test {
protected:
    void SetUp() override { Pacing::setScale(0.01); }
    void TearDown() override { Pacing::setScale(1.0); }
};

QSlider* slider(AlignmentDlg& view) {
    return view.findChild<QSlider*>(QStringLiteral("hSlideAlignmentViewGain"));
}

} // namespace

TEST_F(AlignmentDlgTest, GainPanelBesideTheImageOnWideMonitorsBelowOnNarrowOnes) {
    {
        auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
        AlignmentDlg view;
        view.display(true);
        EXPECT_EQ(view.geometry(), QRect(0, 0, 1280, 800));
        EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("label"))->geometry(), QRect(320, 220, 640, 360));
        EXPECT_EQ(view.findChild<QFrame*>(QStringLiteral("frame"))->geometry(), QRect(965, 220, 230, 70));
        EXPECT_EQ(slider(view)->geometry(), QRect(980, 250, 150, 25));
        EXPECT_EQ(view.findChild<QPushButton*>(QStringLiteral("pushButton"))->geometry(),
                  QRect(590, 680, 100, 30));
    }
    {
        auto guard = FakeDisplays::install({QRect(0, 0, 1024, 768)});
        AlignmentDlg view;
        view.display(true);
        EXPECT_EQ(view.findChild<QFrame*>(QStringLiteral("frame"))->geometry(), QRect(397, 569, 230, 70));
    }
}

TEST_F(AlignmentDlgTest, LayoutScalesWithTheMonitorDpi) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080), QRect(-1280, 0, 1280, 1024)}, 144.0);
    AlignmentDlg view;
    view.display(true);
    EXPECT_EQ(view.geometry(), QRect(-1280, 0, 1280, 1024));
    EXPECT_DOUBLE_EQ(view.dpiScale(), 1.5);
    // OK: 150 x 45, centred, 135 + 45 above the bottom.
    EXPECT_EQ(view.findChild<QPushButton*>(QStringLiteral("pushButton"))->geometry(),
              QRect(565, 844, 150, 45));
    EXPECT_EQ(view.findChild<QFrame*>(QStringLiteral("frame"))->geometry(), QRect(967, 332, 345, 105));
}

TEST_F(AlignmentDlgTest, OnlyTheImageOkAndGainPanelAreShown) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    view.display(true);
    view.show();
    for (const char* hidden :
         {"cb_touch", "line_topMin", "line_rightMin", "labelMode", "listWidget", "lineEditAddr",
          "pushButtonSend", "pushButtonSetImgPos", "lineEditC2_th_alt", "pushButtonSetOption"})
        EXPECT_FALSE(view.findChild<QWidget*>(QString::fromLatin1(hidden))->isVisible()) << hidden;
    for (const char* shown :
         {"label", "pushButton", "label_7", "hSlideAlignmentViewGain", "numObjAlignmentViewGain"})
        EXPECT_TRUE(view.findChild<QWidget*>(QString::fromLatin1(shown))->isVisible()) << shown;
}

TEST_F(AlignmentDlgTest, GainIsSentOnShowAndADragOnlyOnRelease) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    QSignalSpy gain(&view, &AlignmentDlg::sigCamParamSendWait);
    view.display(true);
    ASSERT_EQ(gain.count(), 1);
    EXPECT_EQ(gain.at(0).at(0).value<unsigned short>(), 256);
    EXPECT_EQ(gain.at(0).at(1).value<unsigned int>(), 0u);
    view.show();

    // A drag: nothing while the handle is held, the final position on release.
    slider(view)->setSliderDown(true);
    slider(view)->setValue(7);
    slider(view)->setValue(8);
    EXPECT_EQ(gain.count(), 1);
    slider(view)->setSliderDown(false);
    ASSERT_EQ(gain.count(), 2);
    EXPECT_EQ(gain.at(1).at(0).value<unsigned short>(), 768);

    // The position survives hiding and is sent again on the next show.
    view.display(false);
    view.display(true);
    ASSERT_EQ(gain.count(), 3);
    EXPECT_EQ(gain.at(2).at(0).value<unsigned short>(), 768);

    view.setGain(0);
    EXPECT_EQ(gain.at(3).at(0).value<unsigned short>(), 16);
    view.setGain(9);
    EXPECT_EQ(gain.at(4).at(0).value<unsigned short>(), 1023);
    view.setGain(10);
    view.setGain(-1);
    EXPECT_EQ(gain.count(), 5);
}

// Keys and a click on the track change the position without any release: each change is sent
// once, when it is made.
TEST_F(AlignmentDlgTest, GainChangesFromKeysAndTheTrackAreSentOnce) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    view.display(true);
    view.show();
    QSlider* gainSlider = slider(view);
    gainSlider->setSliderDown(true);
    gainSlider->setValue(0);
    gainSlider->setSliderDown(false);
    QSignalSpy gain(&view, &AlignmentDlg::sigCamParamSendWait);

    QTest::keyClick(gainSlider, Qt::Key_End);
    ASSERT_EQ(gain.count(), 1);
    EXPECT_EQ(gain.at(0).at(0).value<unsigned short>(), 1023);
    QTest::keyClick(gainSlider, Qt::Key_Left);
    ASSERT_EQ(gain.count(), 2);
    EXPECT_EQ(gain.at(1).at(0).value<unsigned short>(), 768);

    // A click on the track left of the handle: the position moves towards it, one send.
    const QRect track = gainSlider->rect();
    QTest::mouseClick(gainSlider, Qt::LeftButton, Qt::NoModifier,
                      QPoint(track.left() + 2, track.center().y()));
    ASSERT_GE(gain.count(), 3);
    EXPECT_EQ(gain.count(), 3);
    EXPECT_EQ(gain.last().at(0).value<unsigned short>(), AlignmentDlg::gainTable[gainSlider->value()]);
    EXPECT_LT(gainSlider->value(), 8);
}

// Frames that come faster than the display refreshes are not all painted: the newest wins.
TEST_F(AlignmentDlgTest, ABurstOfFramesPaintsOnlyTheNewest) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    view.display(true);
    view.show();
    QImage frame(640, 360, QImage::Format_RGB888);
    for (int n = 1; n <= 100; ++n) {
        frame.fill(QColor(n, n, n));
        view.showLiveImage(frame);
    }
    EXPECT_EQ(view.liveImagesReceived(), 100);
    auto* label = view.findChild<QLabel*>(QStringLiteral("label"));
    ASSERT_EVENTUALLY_EQ(label->pixmap(Qt::ReturnByValue).toImage().pixelColor(10, 10),
                         QColor(100, 100, 100));
    EXPECT_LE(view.liveImagesShown(), 2);
}

TEST_F(AlignmentDlgTest, F11CyclesTheAvModeAndEscapeStops) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    QSignalSpy bin(&view, &AlignmentDlg::sigSetBin);
    QSignalSpy stop(&view, &AlignmentDlg::sigStopAlignmentDisplay);
    QTest::keyClick(&view, Qt::Key_F11);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(bin.count(), 0);
    EXPECT_EQ(stop.count(), 0);

    view.display(true);
    view.show();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&view, Qt::Key_F11);
    ASSERT_EQ(bin.count(), 3);
    EXPECT_EQ(bin.at(0).at(0).toInt(), 1);
    EXPECT_EQ(bin.at(1).at(0).toInt(), 2);
    EXPECT_EQ(bin.at(2).at(0).toInt(), 0);
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_TRUE(view.isVisible());
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(stop.count(), 1);
    EXPECT_FALSE(view.isVisible());

    view.show();
    view.findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
    EXPECT_EQ(stop.count(), 2);
    EXPECT_FALSE(view.isVisible());
}

TEST_F(AlignmentDlgTest, LiveImagesAreShownOnlyWhileDisplayed) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    QImage grey(640, 360, QImage::Format_RGB888);
    grey.fill(QColor(90, 90, 90));
    view.showLiveImage(grey);
    EXPECT_EQ(view.liveImagesShown(), 0);

    view.display(true);
    view.show();
    view.showLiveImage(grey);
    ASSERT_EVENTUALLY_EQ(view.liveImagesShown(), 1);
    const QImage shown =
        view.findChild<QLabel*>(QStringLiteral("label"))->pixmap(Qt::ReturnByValue).toImage();
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(90, 90, 90));
    // The label keeps its own copy: rewriting the source leaves it alone.
    grey.fill(Qt::black);
    const QImage after =
        view.findChild<QLabel*>(QStringLiteral("label"))->pixmap(Qt::ReturnByValue).toImage();
    EXPECT_EQ(after.pixelColor(10, 10), QColor(90, 90, 90));

    // A frame still waiting for its paint when the view closes is dropped with it, and frames
    // for the closed view are refused.
    view.showLiveImage(grey);
    view.display(false);
    view.showLiveImage(grey);
    EXPECT_EQ(view.liveImagesReceived(), 2);
    view.display(true);
    view.show();
    QImage white(640, 360, QImage::Format_RGB888);
    white.fill(Qt::white);
    view.showLiveImage(white);
    ASSERT_EVENTUALLY_EQ(view.liveImagesShown(), 2);
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("label"))
                  ->pixmap(Qt::ReturnByValue)
                  .toImage()
                  .pixelColor(10, 10),
              QColor(Qt::white));
}

TEST_F(AlignmentDlgTest, BorderAndArrowMarks) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    view.display(true);
    const QImage image = view.grab().toImage();
    EXPECT_EQ(image.pixelColor(50, 400), QColor(Qt::black));  // on the border line
    EXPECT_EQ(image.pixelColor(640, 10), QColor(255, 0, 0));  // top arrow
    EXPECT_EQ(image.pixelColor(640, 790), QColor(255, 0, 0)); // bottom arrow
    EXPECT_NE(image.pixelColor(150, 400), QColor(Qt::black)); // inside the border
}
