#include "ImageHeader.h"

#include <cctype>

namespace {

quint32 bigEndian32(const QByteArray& bytes, int at) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<uchar>(bytes[at + i]);
    return value;
}

// The file starts with the 8-byte signature and the IHDR chunk: length 13, type, width, height,
// bit depth, colour type, compression, filter and interlace methods.
bool parsePng(const QByteArray& bytes, ImageHeader& header, QString& error) {
    constexpr int ihdrEnd = 8 + 8 + 13;
    if (bytes.size() < ihdrEnd || bigEndian32(bytes, 8) != 13 || bytes.mid(12, 4) != "IHDR") {
        error = QStringLiteral("is a PNG file without a valid IHDR header");
        return false;
    }
    header.format = "PNG";
    header.width = bigEndian32(bytes, 16);
    header.height = bigEndian32(bytes, 20);
    header.bitDepth = static_cast<uchar>(bytes[24]);
    // Colour type 0 is grey only; a palette (3) may hold colours, and the others carry colour or alpha.
    header.grey = static_cast<uchar>(bytes[25]) == 0;
    return true;
}

// One whitespace-separated decimal of a PGM header, skipping "#" comments; at most 9 digits.
bool pgmNumber(const QByteArray& bytes, int& at, qint64& value) {
    for (;;) {
        while (at < bytes.size() && std::isspace(static_cast<uchar>(bytes[at])))
            ++at;
        if (at >= bytes.size() || bytes[at] != '#')
            break;
        while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r')
            ++at;
    }
    const int start = at;
    value = 0;
    while (at < bytes.size() && std::isdigit(static_cast<uchar>(bytes[at])) && at - start < 9)
        value = value * 10 + (bytes[at++] - '0');
    return at > start && (at >= bytes.size() || !std::isdigit(static_cast<uchar>(bytes[at])));
}

bool parsePgm(const QByteArray& bytes, ImageHeader& header, QString& error) {
    int at = 2;
    qint64 maxValue = 0;
    if (!pgmNumber(bytes, at, header.width) || !pgmNumber(bytes, at, header.height) ||
        !pgmNumber(bytes, at, maxValue) || maxValue < 1 || maxValue > 65535) {
        error = QStringLiteral("is a PGM file without a valid header");
        return false;
    }
    header.format = "PGM";
    header.bitDepth = maxValue < 256 ? 8 : 16;
    header.grey = true;
    return true;
}

} // namespace

bool ImageHeader::parse(const QByteArray& bytes, ImageHeader& header, QString& error) {
    header = ImageHeader();
    if (bytes.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)))
        return parsePng(bytes, header, error);
    if ((bytes.startsWith("P5") || bytes.startsWith("P2")) && bytes.size() > 2 &&
        std::isspace(static_cast<uchar>(bytes[2])))
        return parsePgm(bytes, header, error);
    error = QStringLiteral("is neither a PNG nor a PGM image");
    return false;
}
