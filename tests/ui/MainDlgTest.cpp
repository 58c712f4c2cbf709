#include "ui/MainDlg.h"
#include "MainDlgTestFixture.h"
#include "MainDlgWidgets.h"
#include "services/LanguageTexts.h"
#include "services/ParagraphDirection.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/FakeDisplays.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <map>

namespace {

// The design rectangles of the form at 96 DPI, read from the designer file itself.
std::map<QString, QRect> designedRects() {
    std::map<QString, QRect> rects;
    QFile file(QStringLiteral(VEXARO_SOURCE_DIR "/ui/MainDlg.ui"));
    if (!file.open(QIODevice::ReadOnly))
        return rects;
    QXmlStreamReader xml(&file);
    QStringList widgets; // the enclosing widgets' names, innermost last
    QString property;
    std::map<QString, int> values;
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringRef tag = xml.name();
        if (xml.isStartElement()) {
            if (tag == QLatin1String("widget"))
                widgets.append(xml.attributes().value(QLatin1String("name")).toString());
            else if (tag == QLatin1String("property"))
                property = xml.attributes().value(QLatin1String("name")).toString();
            else if (property == QLatin1String("geometry") && tag != QLatin1String("rect"))
                values[tag.toString()] = xml.readElementText().toInt();
        } else if (xml.isEndElement()) {
            if (tag == QLatin1String("widget"))
                widgets.removeLast();
            else if (tag == QLatin1String("rect") && !widgets.isEmpty())
                rects[widgets.last()] = QRect(values["x"], values["y"], values["width"], values["height"]);
            else if (tag == QLatin1String("property"))
                property.clear();
        }
    }
    return rects;
}

QRect scaledRect(const QRect& r, double s) {
    return QRect(static_cast<int>(r.x() * s), static_cast<int>(r.y() * s), static_cast<int>(r.width() * s),
                 static_cast<int>(r.height() * s));
}

} // namespace

TEST_F(MainDlgTest, GeometryAt96And144Dpi) {
    for (double dpi : {96.0, 144.0}) {
        SCOPED_TRACE(dpi);
        // Room enough for the form at both scales.
        auto guard = FakeDisplays::install({QRect(0, 0, 2560, 1440)}, dpi);
        MainDlg dialog(&texts);
        const double s = dpi / 96.0;
        const std::map<QString, QRect> designed = designedRects();
        ASSERT_EQ(designed.count(QStringLiteral("MainDlg")), 1u);
        ASSERT_GE(designed.size(), 30u) << "every widget of the form";
        EXPECT_EQ(dialog.size(), scaledRect(designed.at(QStringLiteral("MainDlg")), s).size());
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
        const MainDlgWidgets form(dialog);
        for (const auto& [name, rect] : designed) {
            if (name == QLatin1String("MainDlg"))
                continue;
            const QWidget* w = dialog.findChild<QWidget*>(name);
            ASSERT_NE(w, nullptr) << name.toStdString();
            const std::string d = name.toStdString();
            if (w == form.comboLens) {
                // The lens list reaches from its label to the group's right margin.
                EXPECT_EQ(w->y(), static_cast<int>(rect.y() * s)) << d;
                EXPECT_GT(w->x(), form.labelSel_2->geometry().right()) << d;
                EXPECT_EQ(form.groupLens->width() - w->geometry().right() - 1, static_cast<int>(10 * s)) << d;
                continue;
            }
            // Check boxes, radio buttons and labels grow about their row's middle to what they need.
            const QRect expected = scaledRect(rect, s);
            if (w->height() > expected.height() &&
                (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLabel*>(w))) {
                EXPECT_EQ(w->x(), expected.x()) << d;
                EXPECT_EQ(w->width(), expected.width()) << d;
                EXPECT_NEAR(w->geometry().center().y(), expected.center().y(), 1) << d;
                EXPECT_EQ(w->height(), w->minimumSizeHint().height()) << d;
            } else {
                EXPECT_EQ(w->geometry(), expected) << d;
            }
        }
        // The language's name sits beside its label, on the label's row.
        EXPECT_GT(form.labelUseL->x(), form.labelUse->geometry().right());
        EXPECT_EQ(form.labelUseL->geometry().center().y(), form.labelUse->geometry().center().y());
        EXPECT_EQ(MainDlgWidgets(dialog).label->hasScaledContents(), s > 1.0);
        EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    }
}

// At 125 to 200 % on a 1920 x 1080 screen, and 200 % on 3840 x 2160, the window and everything
// in it lie on the screen (with room for a title bar). Where the tall form does not fit at the DPI
// scale, the wide one does, unshrunk: shrinking would cut texts and check box outlines.
TEST_F(MainDlgTest, WindowFitsTheScreenAtEveryScaling) {
    struct Case {
        QSize screen;
        double dpi;
    };
    for (const Case& c : {Case{{1920, 1080}, 96.0}, Case{{1920, 1080}, 120.0}, Case{{1920, 1080}, 144.0},
                          Case{{1920, 1080}, 192.0}, Case{{3840, 2160}, 192.0}, Case{{960, 540}, 96.0}}) {
        SCOPED_TRACE(QStringLiteral("%1x%2 at %3 dpi")
                         .arg(c.screen.width())
                         .arg(c.screen.height())
                         .arg(c.dpi)
                         .toStdString());
        auto guard = FakeDisplays::install({QRect(QPoint(0, 0), c.screen)}, c.dpi);
        MainDlg dialog(&texts);
        EXPECT_LE(dialog.height() + 30, c.screen.height());
        EXPECT_LE(dialog.width(), c.screen.width());
        const double aspect = dialog.width() / static_cast<double>(dialog.height());
        const bool tall = 710 * c.dpi / 96.0 + 48 + 80 <= c.screen.height();
        EXPECT_NEAR(aspect, tall ? 560.0 / 710.0 : 940.0 / 448.0, 0.01);
        EXPECT_DOUBLE_EQ(dialog.dpiScale(), c.dpi / 96.0);
        const QRect inside(QPoint(0, 0), dialog.size());
        for (QWidget* w : dialog.findChildren<QWidget*>()) {
            if (w->parentWidget() == &dialog && !w->isHidden()) {
                EXPECT_TRUE(inside.contains(w->geometry())) << w->objectName().toStdString();
            }
        }
        // The font shrinks with the form, so texts keep their place in it.
        EXPECT_NEAR(dialog.font().pixelSize() / dialog.dpiScale(), 8.0 * 96.0 / 72.0, 0.6);
    }
}

// A keyboard user reaches every control of a connected module with Tab, in reading order, and
// never lands on the hidden service buttons or on controls the window has switched off.
TEST_F(MainDlgTest, TabWalksTheUsableControlsInReadingOrder) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    // Walks from the first control until focus comes back to it (or gives up after a round).
    const auto walk = [&] {
        QList<QWidget*> visited;
        ui->radioPen->setFocus(Qt::TabFocusReason);
        QWidget* start = QApplication::focusWidget();
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* now = QApplication::focusWidget();
            if (!now || now == start)
                break;
            visited.append(now);
        }
        return visited;
    };

    dialog.changeUIState(true);
    const QList<QWidget*> connected = walk();
    const QList<QWidget*> readingOrder = {
        ui->radioFinger, ui->comboLanguage, ui->checkCeiling,       ui->checkRear,       ui->comboLens,
        ui->pushView,    ui->pushAutoCalib, ui->checkSemiAutoCalib, ui->pushManualCalib, ui->pushClose};
    QList<QWidget*> controls;
    for (QWidget* w : connected) {
        EXPECT_TRUE(w->isVisible() && w->isEnabled()) << w->objectName().toStdString();
        if (readingOrder.contains(w) && !controls.contains(w))
            controls.append(w);
    }
    // The unchecked finger button may be skipped: arrow keys move within the mode group.
    controls.removeAll(ui->radioFinger);
    QList<QWidget*> expected = readingOrder;
    expected.removeAll(ui->radioFinger);
    EXPECT_EQ(controls, expected);
    EXPECT_FALSE(connected.contains(ui->pushTCDebug));
    EXPECT_FALSE(connected.contains(ui->pushClearEEPROM));

    // Without a module only the language box and closing are left to reach.
    dialog.changeUIState(false);
    ui->pushClose->setFocus(Qt::TabFocusReason);
    QTest::keyClick(ui->pushClose, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui->comboLanguage);
    QTest::keyClick(ui->comboLanguage, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui->pushClose);
}

// The version line names the program that runs, not one written into the form.
TEST_F(MainDlgTest, SoftwareVersionIsTheRunningProgramsVersion) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    const QString running = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("7.6.5.4"));
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    const QString shown = MainDlgWidgets(dialog).labelSWVersion->text();
    QCoreApplication::setApplicationVersion(running);
    EXPECT_EQ(shown, QStringLiteral("Software Version : 7.6.5.4"));
}

// The information texts are for reading: typing into them changes nothing.
TEST_F(MainDlgTest, InformationTextsIgnoreTyping) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    dialog.changeUIState(true);
    const MainDlgWidgets form(dialog);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    for (QTextEdit* edit : {form.textEditInfo1, form.textEditInfo3}) {
        const QString before = edit->toPlainText();
        ASSERT_FALSE(before.isEmpty());
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("xyz"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->toPlainText(), before) << edit->objectName().toStdString();
    }
}

TEST_F(MainDlgTest, DeviceOptionsFingerCeilingUltraShortThrow) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    QSignalSpy ceiling(&dialog, &MainDlg::sigSetCeiling);
    QSignalSpy rear(&dialog, &MainDlg::sigSetRear);
    QSignalSpy lens(&dialog, &MainDlg::sigSetLens);
    QSignalSpy finger(&dialog, &MainDlg::sigSetFingerMode);
    dialog.setDeviceOptions(1, 0, 1, 3);
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    EXPECT_TRUE(ui->checkCeiling->isChecked());
    EXPECT_FALSE(ui->checkRear->isChecked());
    EXPECT_TRUE(ui->radioFinger->isChecked());
    EXPECT_EQ(ui->comboLens->currentIndex(), 1);
    // Shown only: the controller took the same report into its installation already.
    EXPECT_EQ(ceiling.count() + rear.count() + lens.count() + finger.count(), 0);
    EXPECT_EQ(dialog.currentLens(), 3);
    EXPECT_TRUE(ui->pushAutoCalib->isEnabled());
    EXPECT_FALSE(ui->checkSemiAutoCalib->isHidden());
}

TEST_F(MainDlgTest, DeviceOptionsUnknownAndOutOfRangeLens) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    QSignalSpy lens(&dialog, &MainDlg::sigSetLens);
    dialog.setDeviceOptions(0, 1, 0, 2);
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    EXPECT_TRUE(ui->radioPen->isChecked());
    EXPECT_EQ(ui->comboLens->currentIndex(), 0);
    EXPECT_EQ(dialog.currentLens(), 0);
    EXPECT_FALSE(ui->pushAutoCalib->isEnabled());
    EXPECT_TRUE(ui->checkSemiAutoCalib->isHidden());
    // Plain layout: the two buttons close up round the check box's place, the test stays.
    EXPECT_EQ(ui->pushAutoCalib->x(), 66);
    EXPECT_EQ(ui->pushManualCalib->x(), 226);
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("pushTouchTest"))->x(), 397);
    // Without a model the calibration box also says why its buttons are off, and so do they.
    const QString why =
        QStringLiteral("To calibrate, first choose your model under \u201CModel Selection\u201D.");
    EXPECT_EQ(LanguageTexts::guidance(GuidanceText::ModelNotChosen).arg(texts.getConfigText(24)), why);
    EXPECT_EQ(plain(ui->textEditInfo3), texts.getMessageText(12) + QLatin1Char('\n') +
                                            texts.getMessageText(11) + QLatin1Char('\n') + why);
    EXPECT_EQ(ui->pushAutoCalib->toolTip(), why);

    // 5 or more: mounting and mode taken, lens untouched.
    dialog.setDeviceOptions(1, 1, 1, 5);
    EXPECT_EQ(lens.count(), 0);
    EXPECT_TRUE(ui->checkRear->isChecked());
    EXPECT_EQ(dialog.currentLens(), 0);
}

TEST_F(MainDlgTest, LensChoiceAndCalibrationButtons) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    dialog.changeUIState(true);
    QSignalSpy lens(&dialog, &MainDlg::sigSetLens);
    QSignalSpy autoStart(&dialog, &MainDlg::sigStartACalibration);
    QSignalSpy semiStart(&dialog, &MainDlg::sigStartSCalibration);
    QSignalSpy manualStart(&dialog, &MainDlg::sigStartMCalibration);
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;

    ui->comboLens->setCurrentIndex(1);
    ASSERT_EQ(lens.count(), 1);
    EXPECT_EQ(lens.at(0).at(0).toInt(), 3);
    EXPECT_EQ(ui->comboLens->currentIndex(), 1); // the refill keeps the choice and is silent
    ui->pushAutoCalib->click();
    EXPECT_EQ(autoStart.count(), 1);
    ui->checkSemiAutoCalib->setChecked(true);
    ui->pushAutoCalib->click();
    EXPECT_EQ(semiStart.count(), 1);
    EXPECT_EQ(autoStart.count(), 1);
    EXPECT_FALSE(ui->checkSemiAutoCalib->isChecked());
    ui->pushManualCalib->click();
    EXPECT_EQ(manualStart.count(), 1);

    ui->comboLens->setCurrentIndex(0);
    EXPECT_EQ(lens.count(), 2);
    EXPECT_FALSE(ui->pushAutoCalib->isEnabled());
    EXPECT_FALSE(ui->pushManualCalib->isEnabled());
}

TEST_F(MainDlgTest, UiStateEnablesDeviceControls) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    dialog.setFirmwareVersion(QStringLiteral("51.05"));
    EXPECT_EQ(ui->labelFWVersion->text(), QStringLiteral("Firmware Version : 51.05"));
    dialog.changeUIState(true);
    for (const QWidget* w : {static_cast<QWidget*>(ui->comboLanguage), static_cast<QWidget*>(ui->pushView),
                             static_cast<QWidget*>(ui->radioPen), static_cast<QWidget*>(ui->pushAutoCalib)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    dialog.changeUIState(false);
    // The language box stays usable without a module: the status room's guidance is read in it.
    EXPECT_TRUE(ui->comboLanguage->isEnabled());
    EXPECT_FALSE(ui->comboLens->isEnabled());
    EXPECT_FALSE(ui->textEditInfo1->isEnabled());
    EXPECT_FALSE(ui->pushAutoCalib->isEnabled());
    EXPECT_TRUE(ui->pushClose->isEnabled());
    EXPECT_TRUE(ui->groupCalib->isEnabled());
    EXPECT_EQ(ui->labelFWVersion->text(), QStringLiteral("Firmware Version : "));
    dialog.setFirmwareVersion(QStringLiteral("51.05"));
    dialog.resetUIState();
    EXPECT_FALSE(ui->pushView->isEnabled());
    EXPECT_EQ(ui->labelFWVersion->text(), QStringLiteral("Firmware Version : "));
}

TEST_F(MainDlgTest, UserActionsBecomeSignals) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    dialog.changeUIState(true);
    dialog.show();
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    QSignalSpy finger(&dialog, &MainDlg::sigSetFingerMode);
    QSignalSpy ceiling(&dialog, &MainDlg::sigSetCeiling);
    QSignalSpy view(&dialog, &MainDlg::sigStartAlignmentDisplay);
    QSignalSpy closed(&dialog, &MainDlg::sigClose);
    ui->radioFinger->click();
    ui->checkCeiling->click();
    ui->pushView->click();
    ASSERT_EQ(finger.count(), 1);
    EXPECT_TRUE(finger.at(0).at(0).toBool());
    ASSERT_EQ(ceiling.count(), 1);
    EXPECT_TRUE(ceiling.at(0).at(0).toBool());
    EXPECT_EQ(view.count(), 1);

    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_A);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    ASSERT_EQ(closed.count(), 1);
    EXPECT_EQ(closed.at(0).at(0).toInt(), 0);
    ui->pushClose->click();
    EXPECT_EQ(closed.count(), 2);
    EXPECT_FALSE(dialog.isVisible());
}

// A stored calibration shows on the status line for a few seconds, then the connection state again.
TEST_F(MainDlgTest, StoredCalibrationShowsBrieflyOnTheStatusLine) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    EXPECT_TRUE(dialog.statusText().isEmpty());
    dialog.showCalibrationStored();
    EXPECT_EQ(dialog.statusText(), QStringLiteral("\u2713 Calibration"));
    auto* line = dialog.findChild<QLabel*>(QStringLiteral("labelConnection"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), QStringLiteral("\u2713 Calibration"));
    EXPECT_FALSE(line->geometry().intersects(MainDlgWidgets(dialog).pushClose->geometry()));
    ASSERT_EVENTUALLY_WITHIN(dialog.statusText().isEmpty(), 10000);
    EXPECT_EQ(line->text(), QStringLiteral("Vexaro Status : Disconnected"));
}

// The connection state sits in the room the hidden service buttons leave, clear of every shown
// widget, and follows the device state.
TEST_F(MainDlgTest, ConnectionStateShownWithoutMovingTheForm) {
    for (double dpi : {96.0, 144.0}) {
        SCOPED_TRACE(dpi);
        auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)}, dpi);
        MainDlg dialog(&texts);
        dialog.applyLanguage();
        const auto* state = dialog.findChild<QLabel*>(QStringLiteral("labelConnection"));
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->text(), QStringLiteral("Vexaro Status : Disconnected"));
        EXPECT_EQ(state->toolTip(), QStringLiteral("Vexaro is disconnected from the PC."));
        dialog.changeUIState(true);
        EXPECT_EQ(state->text(), QStringLiteral("Vexaro Status : Connected"));
        EXPECT_EQ(state->toolTip(), QStringLiteral("Vexaro is connected to the PC."));
        EXPECT_TRUE(dialog.rect().contains(state->geometry()));
        for (QWidget* other : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other != state && !other->isHidden()) {
                EXPECT_FALSE(other->geometry().intersects(state->geometry()))
                    << other->objectName().toStdString();
            }
        }
        dialog.changeUIState(false);
        EXPECT_EQ(state->text(), QStringLiteral("Vexaro Status : Disconnected"));
    }
}

// The test needs a connected module with a calibration stored in it; the module leaving takes the
// stored calibration with it (another one may come back).
TEST_F(MainDlgTest, TouchTestButtonNeedsAConnectedModuleWithAStoredCalibration) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    auto* test = dialog.findChild<QPushButton*>(QStringLiteral("pushTouchTest"));
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test->text(), QStringLiteral("Test"));
    QSignalSpy started(&dialog, &MainDlg::sigStartTouchTest);

    dialog.changeUIState(true);
    EXPECT_FALSE(test->isEnabled()) << "no calibration stored";
    dialog.setTouchTestAvailable(true);
    ASSERT_TRUE(test->isEnabled());
    test->click();
    EXPECT_EQ(started.count(), 1);

    dialog.changeUIState(false);
    EXPECT_FALSE(test->isEnabled());
    dialog.changeUIState(true);
    EXPECT_FALSE(test->isEnabled());
}
