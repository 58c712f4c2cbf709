#pragma once

#include <QPointF>
#include <vector>

// Where the module's camera must see the pen on the next target, predicted from the touches already
// taken, and whether a touch is close enough to that to be the target at all. A touch far from
// the prediction is a touch somewhere else on the screen (a slip, a second hand, the wrong mark):
// refusing it at once spares the person a failed fit after the last target.
class TouchPrediction {
public:
    // The first touches teach the camera's view; there is nothing to compare them with.
    static constexpr int freeTouches = 4;

    enum class Model { None, Line, Affine, Projective };

    struct Verdict {
        bool accepted = true;
        Model model = Model::None;
        QPointF expected;       // camera pixels; for Model::Line one of the two mirror images
        double distance = 0.0;  // camera pixels between the touch and the prediction
        double tolerance = 0.0; // camera pixels
    };

    // screenTargets: every target of the touch phase in touch order (window pixels); takenCamera:
    // the camera points of the targets before the touched one, in the same order (its size is the
    // touched target's number); touched: where the camera saw the pen on that target.
    static Verdict judge(const std::vector<QPointF>& screenTargets, const std::vector<QPointF>& takenCamera,
                         const QPointF& touched);
};
