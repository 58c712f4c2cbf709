// A box with a details picture reaches a test's handler with the picture; the details window
// shows it fitted to the screen under the translated title and legend.
#include "services/MessageBoxSeam.h"
#include "services/DetailsWindow.h"
#include "services/LanguageTexts.h"
#include "services/ParagraphDirection.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(MessageBoxSeam, HandlerSeesTheDetailsPicture) {
    QList<MessageBoxSeam::Shown> boxes;
    MessageBoxSeam::setHandler([&boxes](const MessageBoxSeam::Shown& shown) {
        boxes.append(shown);
        return QMessageBox::Ok;
    });
    QImage picture(64, 36, QImage::Format_RGB888);
    picture.fill(Qt::red);
    MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), QStringLiteral("why"), picture);
    MessageBoxSeam::information(nullptr, QStringLiteral("Vexaro"), QStringLiteral("note"));
    MessageBoxSeam::setHandler({});
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].kind, MessageBoxSeam::Kind::Critical);
    EXPECT_EQ(boxes[0].details, picture);
    EXPECT_TRUE(boxes[1].details.isNull());
}

TEST(DetailsWindow, FitsThePictureAndWrapsTheLegend) {
    // Never larger than it is; shrunk alike both ways to three quarters of a smaller screen.
    EXPECT_EQ(DetailsWindow::fittedSize({1280, 720}, {3840, 2160}), QSize(1280, 720));
    EXPECT_EQ(DetailsWindow::fittedSize({1280, 720}, {960, 540}), QSize(720, 405));
    EXPECT_EQ(DetailsWindow::fittedSize({1280, 720}, {1920, 500}), QSize(666, 375));
    EXPECT_EQ(DetailsWindow::fittedSize({0, 0}, {960, 540}), QSize(0, 0));

    LanguageTexts texts;
    texts.loadLanguage(1); // a right-to-left language
    ASSERT_TRUE(texts.isRightToLeft());
    const DetailsWindow window(QImage(1280, 720, QImage::Format_RGB888));
    EXPECT_EQ(window.windowTitle(), LanguageTexts::guidance(GuidanceText::DetailsTitle));
    EXPECT_EQ(window.layoutDirection(), Qt::RightToLeft);
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
    const auto legend = std::find_if(labels.begin(), labels.end(), [](const QLabel* l) {
        // Marked to read right to left even where it begins with a Latin word.
        return l->text() == ParagraphDirection::inLanguageDirection(
                                LanguageTexts::guidance(GuidanceText::DetailsLegend), true);
    });
    ASSERT_NE(legend, labels.end());
    EXPECT_TRUE((*legend)->wordWrap());
    // Its one button reads in the language too, not in Qt's English.
    const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), texts.getTrayMenuText(10));
    EXPECT_NE(buttons[0]->text(), QStringLiteral("Close"));
    texts.loadLanguage(LanguageTexts::englishIndex + 1);
}

// Details, then Escape in the details window and Escape in the box: the box is gone for good. The
// box remembers its last clicked button when Escape closes it, which must not reopen the details;
// and with two buttons Qt gives it no Escape at all unless one is named.
TEST(MessageBoxSeam, EscapeAfterTheDetailsClosesTheBoxForGood) {
    LanguageTexts().loadLanguage(7);
    QImage picture(64, 48, QImage::Format_RGB888);
    picture.fill(Qt::green);
    QStringList shownInTurn;
    QWidget* last = nullptr;
    int unchangedTicks = 0;
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* top = QApplication::activeModalWidget();
        auto* box = qobject_cast<QMessageBox*>(top);
        if (!top)
            return;
        if (top == last) {
            // A key that does nothing leaves the box up: answer it after 3 s rather than hang.
            if (box && ++unchangedTicks == 300) {
                shownInTurn.append(QStringLiteral("stuck"));
                box->button(QMessageBox::Ok)->click();
            }
            return;
        }
        unchangedTicks = 0;
        last = top;
        shownInTurn.append(box ? QStringLiteral("box") : QStringLiteral("details"));
        if (shownInTurn.size() > 4 && box) {
            box->button(QMessageBox::Ok)->click(); // the fault: end the loop instead of hanging
        } else if (box && shownInTurn.size() == 1) {
            for (QAbstractButton* button : box->buttons())
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
        } else {
            // The key itself: a box with a second button has no Escape of its own unless told.
            QPointer<QWidget> target(top);
            QTimer::singleShot(0, [target] {
                if (target)
                    QTest::keyClick(target, Qt::Key_Escape);
            });
        }
    });
    driver.start();
    MessageBoxSeam::showBox(nullptr, {MessageBoxSeam::Kind::Critical, QStringLiteral("Vexaro"),
                                      QStringLiteral("Calibration failed."), picture});
    EXPECT_EQ(shownInTurn.join(QLatin1Char(' ')).toStdString(), "box details box");
}
