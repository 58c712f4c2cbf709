#pragma once

#include <QString>
#include <opencv2/core/mat.hpp>

// One 1280 x 720 8-bit grey camera frame from a PNG (or other image file) or a raw dump of
// 921,600 bytes; false with a one-line reason.
bool loadFrame(const QString& path, cv::Mat& frame, QString& error);
