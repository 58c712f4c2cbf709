#include "ui/AlignmentDlg.h"
#include "platform/Pacing.h"
#include "services/LanguageTexts.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/FakeDisplays.h"

#include <QFrame>
#include <QLCDNumber>
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
    // OK keeps its 150 x 45; the 345 x 105 panel does not fit right of a full-size image on 1280
    // pixels, so the image shrinks and everything stays inside the border (black up to 112).
    const QRect ok = view.findChild<QPushButton*>(QStringLiteral("pushButton"))->geometry();
    EXPECT_EQ(ok.size(), QSize(150, 45));
    const QRect frame = view.findChild<QFrame*>(QStringLiteral("frame"))->geometry();
    EXPECT_EQ(frame.size(), QSize(345, 105));
    const QRect image = view.findChild<QLabel*>(QStringLiteral("label"))->geometry();
    const QRect inside(112, 112, 1280 - 224, 1024 - 224);
    for (const QRect& r : {ok, frame, image})
        EXPECT_TRUE(inside.contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    EXPECT_FALSE(image.intersects(frame));
    EXPECT_FALSE(image.intersects(ok));
    EXPECT_GT(image.width(), 500);
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
    QTest::keyClick(&view, Qt::Key_A);
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

// The keys arrive at the view, which holds the keyboard grab: the slider's keys move the gain and
// send it at once, Tab moves the focus, Enter and Space act as OK.
TEST_F(AlignmentDlgTest, KeyboardMovesTheGainAndEnterOrSpacePressOk) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    view.display(true);
    view.show();
    QSignalSpy gain(&view, &AlignmentDlg::sigCamParamSendWait);
    QSignalSpy stop(&view, &AlignmentDlg::sigStopAlignmentDisplay);
    QSlider* gainSlider = slider(view);
    ASSERT_EQ(view.focusWidget(), gainSlider) << view.focusWidget()->objectName().toStdString();

    const struct {
        Qt::Key key;
        int position;
    } steps[] = {{Qt::Key_Right, 6}, {Qt::Key_Up, 7},       {Qt::Key_Left, 6}, {Qt::Key_Down, 5},
                 {Qt::Key_End, 9},   {Qt::Key_PageDown, 8}, {Qt::Key_Home, 0}, {Qt::Key_PageUp, 1}};
    for (const auto& step : steps) {
        QTest::keyClick(&view, step.key);
        EXPECT_EQ(gainSlider->value(), step.position) << step.key;
        ASSERT_FALSE(gain.isEmpty());
        EXPECT_EQ(gain.takeLast().at(0).value<unsigned short>(), AlignmentDlg::gainTable[step.position]);
        EXPECT_TRUE(gain.isEmpty()) << "one send per key";
    }
    EXPECT_EQ(view.findChild<QLCDNumber*>(QStringLiteral("numObjAlignmentViewGain"))->intValue(), 1);

    auto* ok = view.findChild<QPushButton*>(QStringLiteral("pushButton"));
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.focusWidget(), ok);
    QTest::keyClick(&view, Qt::Key_Backtab);
    EXPECT_EQ(view.focusWidget(), gainSlider);
    QTest::keyClick(&view, Qt::Key_Tab);
    QTest::keyClick(&view, Qt::Key_Right); // with OK focused the slider stays
    EXPECT_EQ(gainSlider->value(), 1);
    EXPECT_EQ(stop.count(), 0);

    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(stop.count(), 1);
    EXPECT_FALSE(view.isVisible());
    view.display(false);
    view.display(true);
    view.show();
    EXPECT_EQ(gainSlider->value(), 1) << "the position survives";
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_EQ(stop.count(), 2);
    EXPECT_FALSE(view.isVisible());
}

// F11 switches the module's binning; the view says which mode is on while it is not the normal one.
TEST_F(AlignmentDlgTest, F11ShowsTheAvModeInTheLanguage) {
    LanguageTexts texts;
    texts.loadLanguage(11); // German
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    AlignmentDlg view;
    view.display(true);
    view.show();
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("label_7"))->text(), QStringLiteral("HELLIGKEIT"));
    auto* mode = view.findChild<QLabel*>(QStringLiteral("labelMode"));
    EXPECT_FALSE(mode->isVisible());
    QTest::keyClick(&view, Qt::Key_F11);
    EXPECT_TRUE(mode->isVisible());
    EXPECT_EQ(mode->text(), QStringLiteral("AV-Modus 1"));
    QTest::keyClick(&view, Qt::Key_F11);
    EXPECT_EQ(mode->text(), QStringLiteral("AV-Modus 2"));
    // It stays on across hiding, and the mode line keeps clear of the image and OK.
    view.display(false);
    view.display(true);
    view.show();
    EXPECT_TRUE(mode->isVisible());
    EXPECT_FALSE(mode->geometry().intersects(view.findChild<QLabel*>(QStringLiteral("label"))->geometry()));
    EXPECT_FALSE(
        mode->geometry().intersects(view.findChild<QPushButton*>(QStringLiteral("pushButton"))->geometry()));
    QTest::keyClick(&view, Qt::Key_F11);
    EXPECT_FALSE(mode->isVisible());
    texts.loadLanguage(LanguageTexts::englishIndex + 1);
    view.display(true);
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("label_7"))->text(), QStringLiteral("BRIGHTNESS"));
}
