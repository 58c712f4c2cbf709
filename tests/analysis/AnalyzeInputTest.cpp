// vexaro-analyze on hostile input: every file, folder and value a user names is refused, with exit
// code 2 and one line naming it, before the tool reads or decodes more than it needs.
#include "AnalyzeToolRun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <sys/stat.h>

namespace {

class AnalyzeToolInput : public testing::Test {
protected:
    static void SetUpTestSuite() {
        examples = new QTemporaryDir;
        const AnalyzeToolRun run = AnalyzeToolRun::start(
            {"--write-example", examples->path(), "--screen", "1280x800", "--lens", "2"});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    static void TearDownTestSuite() {
        delete examples;
        examples = nullptr;
    }
    static QString example(const char* name) { return QDir(examples->path()).filePath(QLatin1String(name)); }
    static QStringList withPattern(const QString& pattern) {
        return {"--dark",    example("dark.png"),
                "--bright",  example("bright.png"),
                "--pattern", pattern,
                "--screen",  "1280x800",
                "--lens",    "2"};
    }
    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = scratch.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // Exit 2, nothing on standard output, one line naming what was refused and pointing to --help.
    static void expectRefused(const QStringList& arguments, const QString& naming) {
        const AnalyzeToolRun run = AnalyzeToolRun::start(arguments);
        const std::string context = arguments.join(' ').toStdString() + "\n" + run.err.toStdString();
        EXPECT_EQ(run.exitCode, 2) << context;
        EXPECT_TRUE(run.out.isEmpty()) << context;
        EXPECT_EQ(run.err.count('\n'), 1) << context;
        EXPECT_TRUE(run.err.contains(naming.toUtf8())) << context;
        EXPECT_TRUE(run.err.contains("--help")) << context;
    }

    static QTemporaryDir* examples;
    QTemporaryDir scratch;
};

QTemporaryDir* AnalyzeToolInput::examples = nullptr;

// The chunk checksum, so that a decoder would take the header as genuine.
quint32 pngCrc(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<uchar>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(data.size()), chunk.data());
    const QByteArray body = QByteArray(type) + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(pngCrc(body), crc.data());
    return chunk + body + crc;
}

// A PNG whose header declares width x height at depth and colour type, with a body of bodyBytes.
QByteArray declaredPng(quint32 width, quint32 height, char depth, char colourType, int bodyBytes) {
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(width, ihdr.data());
    qToBigEndian<quint32>(height, ihdr.data() + 4);
    ihdr[8] = depth;
    ihdr[9] = colourType;
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) +
           pngChunk("IDAT", QByteArray(bodyBytes, '\x55'));
}

TEST_F(AnalyzeToolInput, ImagesAreJudgedByTheirHeaderBeforeDecoding) {
    // 3 MB declaring 20000 x 20000 16-bit RGBA: decoding it would take 3.2 GB.
    const QString huge = writeFile("huge.png", declaredPng(20000, 20000, 16, 6, 3 * 1024 * 1024));
    expectRefused(withPattern(huge), huge + " is 20000 x 20000");
    expectRefused(withPattern(writeFile("deep.png", declaredPng(1280, 720, 16, 0, 64))), "16-bit");
    expectRefused(withPattern(writeFile("rgba.png", declaredPng(1280, 720, 8, 6, 64))), "grey");
    expectRefused(withPattern(writeFile("cut.png", declaredPng(1280, 720, 8, 0, 0).left(20))), "IHDR");
    expectRefused(withPattern(writeFile("tall.pgm", "P5\n1280 99999999999\n255\n")), "tall.pgm");
    expectRefused(withPattern(writeFile("deep.pgm", "P5 1280 720 65535\n")), "16-bit");
    const cv::Mat frame = cv::imread(example("pattern.png").toStdString(), cv::IMREAD_UNCHANGED);
    const QString bmp = scratch.filePath("pattern.bmp");
    ASSERT_TRUE(cv::imwrite(bmp.toStdString(), frame));
    expectRefused(withPattern(bmp), bmp);
    // A PGM of the same frame is analysed like the PNG.
    const QString pgm = scratch.filePath("pattern.pgm");
    ASSERT_TRUE(cv::imwrite(pgm.toStdString(), frame));
    const AnalyzeToolRun run = AnalyzeToolRun::start(withPattern(pgm));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

TEST_F(AnalyzeToolInput, OnlyRegularFilesAreRead) {
    const QString fifo = scratch.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A FIFO without a writer and an endless device: opening or reading either would never end.
    for (const QString& input : {fifo, QStringLiteral("/dev/zero"), scratch.path()})
        expectRefused(withPattern(input), input + " is not a regular file");
    expectRefused(withPattern(example("pattern.png")) + QStringList{"--tweaks", fifo}, fifo);
    ASSERT_TRUE(QFile::link(fifo, QDir(examples->path()).filePath("result.json")));
    expectRefused({"--replay", examples->path()}, "result.json is not a regular file");
    QFile::remove(QDir(examples->path()).filePath("result.json"));
}

TEST_F(AnalyzeToolInput, UnwritableRecordIsRefusedBeforeAnyResult) {
    for (const QString& record : {scratch.filePath("missing/record.bin"), scratch.path()})
        expectRefused(withPattern(example("pattern.png")) + QStringList{"--record", record}, record);
    // A failed calibration writes no record and leaves the one there as it was.
    const QString kept = writeFile("kept.bin", "earlier record");
    const AnalyzeToolRun failed =
        AnalyzeToolRun::start(withPattern(example("bright.png")) + QStringList{"--record", kept});
    EXPECT_EQ(failed.exitCode, 1);
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "earlier record");
}

TEST_F(AnalyzeToolInput, TweakOffsetsMustBeFiniteAndWithinTheFrame) {
    for (const char* offset : {"1e39, 0", "0, 721", "-1281, 0", "1e400, 0", "NaN, 0", "Infinity, 0"}) {
        QByteArray pairs = QByteArray("[[") + offset + "]";
        for (int i = 1; i < 20; ++i)
            pairs += ", [0, 0]";
        const QString tweaks = writeFile("tweaks.json", pairs + "]");
        expectRefused(withPattern(example("pattern.png")) + QStringList{"--tweaks", tweaks}, tweaks);
    }
    // The offsets a kept calibration stored are held to the same bounds.
    for (const char* name : {"dark.png", "bright.png", "pattern.png"})
        ASSERT_TRUE(QFile::copy(example(name), scratch.filePath(name)));
    const QString result = writeFile("result.json", R"({"screenWidth": 1280, "screenHeight": 800, "lens": 2,
        "fwMinor": 10, "ceiling": false, "rear": false, "storedOffsets": [[0, 1e39]]})");
    expectRefused({"--replay", scratch.path()}, result);
}

TEST_F(AnalyzeToolInput, WriteExampleKeepsFramesUnlessForced) {
    const QString dark = writeFile("dark.png", "a capture of the user's");
    const QStringList write{"--write-example", scratch.path(), "--screen", "1280x800", "--lens", "2"};
    expectRefused(write, "--force");
    QFile file(dark);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "a capture of the user's");
    file.close();
    const AnalyzeToolRun forced = AnalyzeToolRun::start(write + QStringList{"--force"});
    ASSERT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_FALSE(cv::imread(dark.toStdString()).empty());
    // Not through a link, even when forced.
    ASSERT_TRUE(QFile::remove(dark));
    ASSERT_TRUE(QFile::link(scratch.filePath("elsewhere.png"), dark));
    expectRefused(write + QStringList{"--force"}, dark);
    expectRefused(withPattern(example("pattern.png")) + QStringList{"--force"}, "--force");
}

TEST_F(AnalyzeToolInput, ReplayRefusesTheOptionsItIgnores) {
    const QStringList ignored[] = {
        {"--ceiling"},          {"--rear"}, {"--semi"}, {"--fw-minor", "12"}, {"--screen", "1280x800"},
        {"--tweaks", "t.json"}, {"--force"}};
    for (const QStringList& option : ignored)
        expectRefused(QStringList{"--replay", examples->path()} + option, option.first());
    expectRefused({"--write-example", scratch.path(), "--rear"}, "--rear");
    expectRefused(withPattern(example("pattern.png")) + QStringList{"--lens", "3"}, "--lens");
}

} // namespace
