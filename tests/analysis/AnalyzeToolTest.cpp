// vexaro-analyze as a support engineer runs it: on generated frames (PNG and raw dumps) and on bad
// input.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

namespace {

const QString tool = QStringLiteral(VEXARO_BINARY_DIR "/tools/vexaro-analyze/vexaro-analyze");

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    ToolRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
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
    file.write("[[1.5, -0.5], [0, 0]]");
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
    EXPECT_FALSE(QJsonDocument::fromJson(run.out).object()["fitOk"].toBool());
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
