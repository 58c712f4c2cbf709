#pragma once

#include <opencv2/core/mat.hpp>

// Removes from a binarised image the blobs whose every outline the disc search would reject for
// being too small in the camera, without changing any other outline. Noise in the normalised
// image turns into tens of thousands of such specks at some grey levels, and tracing them costs
// far more than the rest of the search.
//
// Why no other outline changes: a removed white blob is a whole 8-connected component; the black
// around it is one 4-connected region, so nothing merges, and outlines elsewhere do not pass
// through it. A filled black blob is a whole 4-connected region enclosed by one white component
// (it does not touch the image edge), so only that component's hole outline disappears.
class SpeckleFilter {
public:
    // Outlines narrower than minWidth or lower than minHeight camera pixels are never accepted.
    // Returns whether the image held any white pixel before filtering (so any outline at all).
    static bool apply(cv::Mat& binary, int minWidth, int minHeight);
    // Whether the filter pays for itself: it costs two labellings of the whole frame, about as
    // much as tracing ten thousand specks. Told by how often the rows change between black and
    // white, which grows with the specks' outlines as tracing does.
    static bool worthApplying(const cv::Mat& binary);
    static constexpr long speckledEdges = 16000;
};
