#include "FrameFile.h"

#include "ImageHeader.h"
#include "platform/SafeFile.h"

#include <QLoggingCategory>
#include <cstring>
#include <opencv2/imgcodecs.hpp>

namespace {

Q_LOGGING_CATEGORY(lcFrameFile, "vexaro.analyze.frame", QtWarningMsg)

constexpr int frameWidth = 1280;
constexpr int frameHeight = 720;
constexpr qint64 rawSize = static_cast<qint64>(frameWidth) * frameHeight;

// Only an 8-bit grey 1280 x 720 image is decoded: anything else could make the decoder allocate
// whatever the header declares.
bool checkHeader(const QString& path, const QByteArray& bytes, QString& error) {
    ImageHeader header;
    if (!ImageHeader::parse(bytes, header, error)) {
        error = QStringLiteral("%1 %2 (nor a raw frame of %3 bytes)").arg(path, error).arg(rawSize);
        return false;
    }
    qCDebug(lcFrameFile) << path << header.format << header.width << "x" << header.height << header.bitDepth
                         << "bit" << (header.grey ? "grey" : "colour");
    if (header.width != frameWidth || header.height != frameHeight) {
        error =
            QStringLiteral("%1 is %2 x %3, not 1280 x 720").arg(path).arg(header.width).arg(header.height);
        return false;
    }
    if (header.bitDepth != 8) {
        error = QStringLiteral("%1 is %2-bit, not 8-bit").arg(path).arg(header.bitDepth);
        return false;
    }
    if (!header.grey) {
        error = QStringLiteral("%1 is not single-channel grey").arg(path);
        return false;
    }
    return true;
}

} // namespace

bool loadFrame(const QString& path, cv::Mat& frame, QString& error) {
    SafeFile::Read file;
    if (!SafeFile::read(path, maxImageBytes, file, error, SafeFile::Links::Follow))
        return false;
    const QByteArray& bytes = file.content;
    static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
    if (bytes.size() == rawSize && !bytes.startsWith(pngSignature)) {
        frame = cv::Mat(frameHeight, frameWidth, CV_8UC1);
        std::memcpy(frame.data, bytes.constData(), static_cast<size_t>(rawSize));
        return true;
    }
    if (!checkHeader(path, bytes, error))
        return false;
    const cv::Mat encoded(1, static_cast<int>(bytes.size()), CV_8UC1, const_cast<char*>(bytes.constData()));
    const cv::Mat decoded = cv::imdecode(encoded, cv::IMREAD_UNCHANGED);
    if (decoded.empty()) {
        error = QStringLiteral("%1 is a damaged image").arg(path);
        return false;
    }
    // The header said grey 8-bit 1280 x 720; a transparency chunk can still add channels.
    if (decoded.depth() != CV_8U || decoded.channels() != 1 || decoded.cols != frameWidth ||
        decoded.rows != frameHeight) {
        error = QStringLiteral("%1 does not decode to a 1280 x 720 8-bit grey frame").arg(path);
        return false;
    }
    frame = decoded;
    return true;
}
