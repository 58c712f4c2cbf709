#include "services/DetailsWindow.h"

#include "services/LanguageTexts.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

DetailsWindow::DetailsWindow(const QImage& picture, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(LanguageTexts::guidance(GuidanceText::DetailsTitle));
    setLayoutDirection(LanguageTexts().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);

    auto* legend = new QLabel(LanguageTexts::guidance(GuidanceText::DetailsLegend), this);
    legend->setWordWrap(true);

    const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1280, 720);
    const QSize shownSize = fittedSize(picture.size(), available);
    auto* image = new QLabel(this);
    image->setPixmap(
        QPixmap::fromImage(picture.scaled(shownSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    // A screen too small for even the scaled picture still reaches all of it.
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(image);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setLayoutDirection(Qt::LeftToRight); // the camera's picture is not mirrored for the language

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(legend);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
    const int frame = 2 * scroll->frameWidth() + 4;
    scroll->setMinimumSize(std::min(shownSize.width() + frame, available.width() * 3 / 4),
                           std::min(shownSize.height() + frame, available.height() * 3 / 4));
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
