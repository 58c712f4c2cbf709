#pragma once

#include <QRect>
#include <QSize>

// Where the alignment view puts its image, its OK button and its gain panel on a screen of a
// given size. The classic places (image 640 x 360 in the middle, OK near the bottom, the panel
// beside or below the image) are kept whenever they fit inside the painted black border; on a
// small logical screen (a high scale factor) the image is shrunk so that nothing lies on the
// image, on the border or off the screen.
class AlignmentLayout {
public:
    struct Input {
        int width = 0; // the covered screen, in the view's own pixels
        int height = 0;
        double scale = 1.0; // the monitor's logical DPI / 96
        QSize okHint;       // what the OK button and the caption need in the current language
        QSize captionHint;
        QSize modeHint; // the AV mode line left of OK
    };

    static constexpr int imageWidth = 640;
    static constexpr int imageHeight = 360;

    explicit AlignmentLayout(const Input& input);

    QRect image;
    QRect okButton;
    QRect frame;
    QRect caption;
    QRect slider;
    QRect number;
    QRect mode;

    // The part of the screen inside the painted border, where the widgets must lie.
    QRect contentArea() const { return content; }

private:
    int s(int v) const { return static_cast<int>(v * in.scale); }
    void placeClassic();
    void placeFitted();
    void placePanel(int left, int top);
    void placeMode();
    bool fits() const;

    Input in;
    QRect content;
    QSize panel;
};
