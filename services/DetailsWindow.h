#pragma once

#include <QDialog>
#include <QImage>

// The failure details: the camera's pattern frame with every target marked, under a legend that
// says what the colours mean. The picture is scaled to fit the screen it opens on.
class DetailsWindow : public QDialog {
    Q_OBJECT
public:
    explicit DetailsWindow(const QImage& picture, QWidget* parent = nullptr);

    // The largest size of the picture on a screen of the given available size: its own size, or
    // smaller by the same factor both ways so that it takes at most three quarters of the screen.
    static QSize fittedSize(QSize picture, QSize available);
};
