#include "FrameFile.h"

#include <QFile>
#include <cstring>
#include <opencv2/imgcodecs.hpp>

namespace {
constexpr int frameWidth = 1280;
constexpr int frameHeight = 720;
constexpr qint64 rawSize = static_cast<qint64>(frameWidth) * frameHeight;
constexpr qint64 maxFileSize = 64 * 1024 * 1024;
} // namespace

bool loadFrame(const QString& path, cv::Mat& frame, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    if (file.size() > maxFileSize) {
        error = QStringLiteral("%1 is too large for a camera frame").arg(path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
    if (bytes.size() == rawSize && !bytes.startsWith(pngSignature)) {
        frame = cv::Mat(frameHeight, frameWidth, CV_8UC1);
        std::memcpy(frame.data, bytes.constData(), static_cast<size_t>(rawSize));
        return true;
    }
    const cv::Mat encoded(1, static_cast<int>(bytes.size()), CV_8UC1, const_cast<char*>(bytes.constData()));
    const cv::Mat decoded = bytes.isEmpty() ? cv::Mat() : cv::imdecode(encoded, cv::IMREAD_UNCHANGED);
    if (decoded.empty()) {
        error = QStringLiteral("%1 is neither an image nor a raw frame of %2 bytes").arg(path).arg(rawSize);
        return false;
    }
    if (decoded.depth() != CV_8U) {
        error = QStringLiteral("%1 is not 8-bit").arg(path);
        return false;
    }
    if (decoded.channels() != 1) {
        error = QStringLiteral("%1 is not single-channel grey").arg(path);
        return false;
    }
    if (decoded.cols != frameWidth || decoded.rows != frameHeight) {
        error = QStringLiteral("%1 is %2 x %3, not 1280 x 720").arg(path).arg(decoded.cols).arg(decoded.rows);
        return false;
    }
    frame = decoded;
    return true;
}
