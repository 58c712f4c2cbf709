#include "ui/AlignmentLayout.h"

#include <algorithm>

AlignmentLayout::AlignmentLayout(const Input& input)
    : in(input) {
    // The border is drawn with a pen s(50) wide centred s(50) from each edge: black up to s(75).
    const int inset = s(75) + s(5);
    content = QRect(inset, inset, std::max(0, in.width - 2 * inset), std::max(0, in.height - 2 * inset));
    // The panel grows with a caption longer than the classic 200 pixels, never shrinks.
    panel = QSize(std::max(s(230), in.captionHint.width() + s(30)), s(70));
    placeClassic();
    if (!fits())
        placeFitted();
}

void AlignmentLayout::placeClassic() {
    const int w = in.width;
    const int h = in.height;
    image = QRect(w / 2 - imageWidth / 2, h / 2 - imageHeight / 2, imageWidth, imageHeight);
    const QSize ok(std::max(s(100), in.okHint.width()),
                   std::max({s(30), in.okHint.height(), in.modeHint.height()}));
    okButton = QRect(w / 2 - ok.width() / 2, h - s(90) - ok.height(), ok.width(), ok.height());
    if (w < 1280)
        placePanel(w / 2 - panel.width() / 2, h / 2 + s(5) + imageHeight / 2);
    else
        placePanel(w / 2 + s(5) + imageWidth / 2, h / 2 - imageHeight / 2);
    placeMode();
}

void AlignmentLayout::placePanel(int left, int top) {
    const int captionHeight = std::max(s(20), in.captionHint.height());
    caption = QRect(left + s(5), top + s(7), panel.width() - s(30), captionHeight);
    const int row = std::max(top + s(30), caption.bottom() + 1 + s(2));
    panel.setHeight(std::max(s(70), row - top + s(25) + s(15)));
    frame = QRect(QPoint(left, top), panel);
    slider = QRect(left + s(15), row, panel.width() - s(80), s(25));
    number = QRect(left + panel.width() - s(50), row, s(45), s(25));
}

// The AV mode line ends just left of OK, on its row, where nothing else lies.
void AlignmentLayout::placeMode() {
    const int right = okButton.left() - std::max(1, s(10));
    mode = QRect(content.left(), okButton.top(), std::max(0, right - content.left()), okButton.height());
}

bool AlignmentLayout::fits() const {
    for (const QRect& r : {image, okButton, frame, mode})
        if (!content.contains(r))
            return false;
    return !image.intersects(okButton) && !image.intersects(frame) && !frame.intersects(okButton) &&
           !mode.intersects(image) && !mode.intersects(frame) && mode.width() >= in.modeHint.width();
}

// OK at the bottom of the inner area; the image as large as it may be (never larger than the
// camera's 640 x 360) with the panel beside it or below it, whichever leaves the larger image.
void AlignmentLayout::placeFitted() {
    const int gap = std::max(1, s(10));
    const QSize ok = okButton.size();
    okButton = QRect(content.center().x() - ok.width() / 2, content.bottom() - gap - ok.height() + 1,
                     ok.width(), ok.height());
    placeMode();
    const int top = content.top() + gap;
    const int roomWidth = content.width() - 2 * gap;
    const int roomHeight = okButton.top() - gap - top;

    auto factor = [](int width, int height) {
        return std::max(0.0, std::min({1.0, width / double(imageWidth), height / double(imageHeight)}));
    };
    const double beside = factor(roomWidth - s(5) - panel.width(), roomHeight);
    const double below = factor(roomWidth, roomHeight - s(5) - panel.height());
    const double f = std::max(beside, below);
    const QSize size(static_cast<int>(imageWidth * f), static_cast<int>(imageHeight * f));
    if (beside >= below) {
        const int groupWidth = size.width() + s(5) + panel.width();
        const int left = content.center().x() - groupWidth / 2;
        const int y = top + (roomHeight - size.height()) / 2;
        image = QRect(QPoint(left, y), size);
        placePanel(image.right() + 1 + s(5), y);
    } else {
        const int groupHeight = size.height() + s(5) + panel.height();
        const int y = top + (roomHeight - groupHeight) / 2;
        image = QRect(QPoint(content.center().x() - size.width() / 2, y), size);
        placePanel(content.center().x() - panel.width() / 2, image.bottom() + 1 + s(5));
    }
}
