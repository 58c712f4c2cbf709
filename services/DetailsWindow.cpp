#include "services/DetailsWindow.h"

#include "services/LanguageTexts.h"
#include "services/ParagraphDirection.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

DetailsWindow::DetailsWindow(const QImage& picture, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(LanguageTexts::guidance(GuidanceText::DetailsTitle));
    setLayoutDirection(LanguageTexts().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);

    auto* legend =
        new QLabel(ParagraphDirection::inLanguageDirection(
                       LanguageTexts::guidance(GuidanceText::DetailsLegend), LanguageTexts().isRightToLeft()),
                   this);
    legend->setWordWrap(true);

    const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1280, 720);
    const QSize shownSize = fittedSize(picture.size(), available);
    // Scaled for the screen's pixels, not its logical ones, so that the marks stay sharp at 200 %.
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    QPixmap pixmap =
        QPixmap::fromImage(picture.scaled(shownSize * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    auto* image = new QLabel(this);
    image->setPixmap(pixmap);
    // A screen too small for even the scaled picture still reaches all of it.
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(image);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setLayoutDirection(Qt::LeftToRight); // the camera's picture is not mirrored for the language

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    // Qt labels its standard button in English only; the tables carry the settings window's Close.
    if (QPushButton* close = buttons->button(QDialogButtonBox::Close))
        close->setText(LanguageTexts().getTrayMenuText(10));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(legend);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
    // The picture takes at most three quarters of the screen, so its frame fits beside it: no
    // scroll bars unless the screen is smaller still.
    const int frame = 2 * scroll->frameWidth() + 4;
    scroll->setMinimumSize(shownSize + QSize(frame, frame));
}

QSize DetailsWindow::fittedSize(QSize picture, QSize available) {
    if (picture.isEmpty())
        return QSize(0, 0);
    const double bound =
        std::min(0.75 * available.width() / picture.width(), 0.75 * available.height() / picture.height());
    const double factor = std::clamp(bound, 0.1, 1.0);
    return QSize(std::max(1, static_cast<int>(picture.width() * factor)),
                 std::max(1, static_cast<int>(picture.height() * factor)));
}
