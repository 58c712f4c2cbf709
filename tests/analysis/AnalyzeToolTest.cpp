// vexaro-analyze as a support engineer runs it: on generated frames (PNG and raw dumps) and on bad
// input.
#include "AnalysisScene.h"
#include "AnalyzeToolRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

namespace {

using ToolRun = AnalyzeToolRun;

ToolRun runTool(const QStringList& arguments) {
    return AnalyzeToolRun::start(arguments);
}

class AnalyzeTool : public testing::Test {
protected:
    static void SetUpTestSuite() {
        examples = new QTemporaryDir;
        const ToolRun run =
            runTool({"--write-example", examples->path(), "--screen", "1280x800", "--lens", "2"});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    static void TearDownTestSuite() {
        delete examples;
        examples = nullptr;
    }
    static QString example(const char* name) {
        return QDir(examples->path()).filePath(QString::fromLatin1(name));
    }
    static QStringList frames() {
        return {"--dark",    example("dark.png"),   "--bright", example("bright.png"),
                "--pattern", example("pattern.png")};
    }

    static QTemporaryDir* examples;
    QTemporaryDir scratch;
};

QTemporaryDir* AnalyzeTool::examples = nullptr;

TEST_F(AnalyzeTool, AnalysesPngFramesAndWritesTheRecord) {
    const QString record = scratch.filePath("record.bin");
    const ToolRun run =
        runTool(frames() + QStringList{"--screen", "1280x800", "--lens", "2", "--record", record});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject result = QJsonDocument::fromJson(run.out).object();
    EXPECT_TRUE(result["fitOk"].toBool());
    EXPECT_EQ(result["params"].toArray().size(), 13);
    EXPECT_EQ(result["rawPoints"].toArray().size(), 20);
    EXPECT_EQ(result["correctedPoints"].toArray().size(), 20);
    EXPECT_EQ(result["targetsFound"].toInt(), 20);
    const int rowLimit = result["rowLimit"].toInt();
    EXPECT_GT(rowLimit, 0);
    EXPECT_TRUE(result["timings"].toObject().contains("detectMs"));
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 370);
    EXPECT_EQ(static_cast<uchar>(bytes[104]), 0x00); // 1280 = 00 05
    EXPECT_EQ(static_cast<uchar>(bytes[105]), 0x05);
    EXPECT_EQ(static_cast<uchar>(bytes[110]), 2);
    EXPECT_EQ(static_cast<uchar>(bytes[359]), rowLimit & 0xFF);
    EXPECT_EQ(bytes.mid(112, 4), QByteArray(4, '\0')) << "no tweak offsets in an automatic record";
}

TEST_F(AnalyzeTool, AnalysesRawDumpsWithStoredTweaksAndTheSemiFit) {
    QStringList arguments;
    for (const char* name : {"dark", "bright", "pattern"}) {
        const cv::Mat frame =
            cv::imread(example((std::string(name) + ".png").c_str()).toStdString(), cv::IMREAD_UNCHANGED);
        ASSERT_EQ(frame.total(), 921600u);
        const QString raw = scratch.filePath(QString::fromLatin1(name) + ".raw");
        QFile file(raw);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(frame.data), 921600);
        arguments << QStringLiteral("--%1").arg(QString::fromLatin1(name)) << raw;
    }
    const QString tweaks = scratch.filePath("tweaks.json");
    QFile file(tweaks);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray pairs = "[[1.5, -0.5]";
    for (int i = 1; i < 20; ++i)
        pairs += ", [0, 0]";
    file.write(pairs + "]");
    file.close();
    const ToolRun run =
        runTool(arguments + QStringList{"--screen", "1280x800", "--lens", "2", "--semi", "--tweaks", tweaks});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject result = QJsonDocument::fromJson(run.out).object();
    const QJsonArray raw0 = result["rawPoints"].toArray()[0].toArray();
    const QJsonArray corrected0 = result["correctedPoints"].toArray()[0].toArray();
    EXPECT_NEAR(corrected0[0].toDouble() - raw0[0].toDouble(), 1.5, 1e-3);
    EXPECT_NEAR(corrected0[1].toDouble() - raw0[1].toDouble(), -0.5, 1e-3);
}

TEST_F(AnalyzeTool, FailedCalibrationExitsWithOne) {
    // The white frame as pattern: nothing to find.
    const ToolRun run = runTool({"--dark", example("dark.png"), "--bright", example("bright.png"),
                                 "--pattern", example("bright.png"), "--screen", "1280x800", "--lens", "2"});
    EXPECT_EQ(run.exitCode, 1);
    const QJsonObject result = QJsonDocument::fromJson(run.out).object();
    EXPECT_FALSE(result["fitOk"].toBool());
    const QJsonObject failure = result["failure"].toObject();
    EXPECT_EQ(failure["stage"].toString(), "markers");
    EXPECT_FALSE(failure["reason"].toString().isEmpty());
    EXPECT_EQ(failure["missingTargets"].toArray().size(), 20);
    // The reason, once, on standard error.
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(failure["reason"].toString().toUtf8())) << run.err.toStdString();
}

TEST_F(AnalyzeTool, MirroredPatternNamesTheRearOption) {
    // A rear camera whose pattern was drawn with the Rear option off sees it mirrored.
    AnalysisScene scene;
    scene.lens = 2;
    scene.width = 1280;
    scene.height = 800;
    scene.rear = true;
    scene.drawnRear = 0;
    scene.photograph();
    ASSERT_TRUE(scene.write(scratch.path()));
    const QStringList frames{"--dark",    scratch.filePath("dark.png"),
                             "--bright",  scratch.filePath("bright.png"),
                             "--pattern", scratch.filePath("pattern.png"),
                             "--screen",  "1280x800",
                             "--lens",    "2"};
    const ToolRun wrong = runTool(frames);
    EXPECT_EQ(wrong.exitCode, 1);
    const QJsonObject failure = QJsonDocument::fromJson(wrong.out).object()["failure"].toObject();
    EXPECT_EQ(failure["reason"].toString(),
              "the camera sees the pattern mirrored: the Rear Screen option looks wrong");
    EXPECT_TRUE(wrong.err.contains("Rear Screen option looks wrong"));

    // Captured again with the option on, the window draws the pattern mirrored and the camera
    // sees it upright; the record carries the option.
    scene.drawnRear = 1;
    scene.photograph();
    ASSERT_TRUE(scene.write(scratch.path()));
    const QString record = scratch.filePath("record.bin");
    const ToolRun right = runTool(frames + QStringList{"--rear", "--record", record});
    ASSERT_EQ(right.exitCode, 0) << right.err.toStdString();
    EXPECT_TRUE(right.err.isEmpty());
    EXPECT_FALSE(QJsonDocument::fromJson(right.out).object().contains("failure"));
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 370);
    EXPECT_EQ(bytes[108], 0);
    EXPECT_EQ(bytes[109], 1);
}

TEST_F(AnalyzeTool, BadInputExitsWithTwoAndOneLine) {
    const QString small = scratch.filePath("small.png");
    cv::imwrite(small.toStdString(), cv::Mat(100, 100, CV_8UC1, cv::Scalar(0)));
    const QString deep = scratch.filePath("deep.png");
    cv::imwrite(deep.toStdString(), cv::Mat(720, 1280, CV_16UC1, cv::Scalar(0)));
    const QString colour = scratch.filePath("colour.png");
    cv::imwrite(colour.toStdString(), cv::Mat(720, 1280, CV_8UC3, cv::Scalar(0, 0, 0)));
    const QString shortRaw = scratch.filePath("short.raw");
    QFile raw(shortRaw);
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write(QByteArray(921599, '\0'));
    raw.close();
    const QStringList screen{"--screen", "1280x800", "--lens", "2"};
    const QList<QStringList> cases = {
        {"--dark", scratch.filePath("missing.png"), "--bright", example("bright.png"), "--pattern",
         example("pattern.png")},
        {"--dark", small, "--bright", example("bright.png"), "--pattern", example("pattern.png")},
        {"--dark", deep, "--bright", example("bright.png"), "--pattern", example("pattern.png")},
        {"--dark", colour, "--bright", example("bright.png"), "--pattern", example("pattern.png")},
        {"--dark", shortRaw, "--bright", example("bright.png"), "--pattern", example("pattern.png")},
    };
    for (const QStringList& arguments : cases) {
        const ToolRun run = runTool(arguments + screen);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_EQ(runTool(frames() + QStringList{"--screen", "1280x800", "--lens", "2", "--frobnicate"}).exitCode,
              2);
    EXPECT_EQ(runTool(frames() + QStringList{"--screen", "12x8000000", "--lens", "2"}).exitCode, 2);
    EXPECT_EQ(runTool(frames() + QStringList{"--screen", "1280x800"}).exitCode, 2);
    EXPECT_EQ(runTool(frames() + QStringList{"--screen", "1280x800", "--lens"}).exitCode, 2);
    // Lens types the analysis does not know are bad input, not a failed calibration.
    for (const char* lens : {"0", "5", "-1"})
        EXPECT_EQ(runTool(frames() + QStringList{"--screen", "1280x800", "--lens", lens}).exitCode, 2)
            << lens;
    // Stored offsets are one pair per target.
    const QString twoPairs = scratch.filePath("two.json");
    QFile two(twoPairs);
    ASSERT_TRUE(two.open(QIODevice::WriteOnly));
    two.write("[[1, 2], [3, 4]]");
    two.close();
    const ToolRun shortTweaks = runTool(frames() + screen + QStringList{"--tweaks", twoPairs});
    EXPECT_EQ(shortTweaks.exitCode, 2);
    EXPECT_TRUE(shortTweaks.out.isEmpty());
    // --replay takes its settings from the kept calibration only.
    EXPECT_EQ(runTool({"--replay", scratch.path(), "--lens", "2"}).exitCode, 2);
    EXPECT_EQ(runTool({"--replay", scratch.filePath("nothing-here")}).exitCode, 2);
    const QString badTweaks = scratch.filePath("bad.json");
    QFile file(badTweaks);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[[1, 2, 3]]");
    file.close();
    EXPECT_EQ(runTool(frames() + screen + QStringList{"--tweaks", badTweaks}).exitCode, 2);
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Usage: vexaro-analyze"));
}

} // namespace
