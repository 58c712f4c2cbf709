#pragma once

#include <QString>
#include <opencv2/core/mat.hpp>

// One 1280 x 720 8-bit grey camera frame from a PNG or PGM file or a raw dump of 921,600 bytes;
// false with a one-line reason naming the file. The file must be a regular one of at most
// maxImageBytes, and an image's header is checked before it is decoded.
bool loadFrame(const QString& path, cv::Mat& frame, QString& error);

constexpr qint64 maxImageBytes = 16 * 1024 * 1024;
