// vexaro-analyze: the application's calibration analysis on captured camera frames, printed as
// JSON for support engineers.
#include "AnalyzeOptions.h"
#include "ExampleFrames.h"
#include "FrameFile.h"
#include "RecordFile.h"

#include "analysis/ImageAnalysis.h"
#include "calibration/LastCalibration.h"
#include "calibration/PatternGeometry.h"
#include "device/CalibParameterRecord.h"
#include "device/TargetCounts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <array>
#include <memory>
#include <vector>

namespace {

constexpr int exitAccepted = 0;
constexpr int exitFailed = 1;
constexpr int exitBadInput = 2;

int badInput(const QString& message) {
    QTextStream(stderr) << "vexaro-analyze: " << message << "; see vexaro-analyze --help\n";
    return exitBadInput;
}

// The automatic targets exactly as the calibration window places them.
std::vector<float> automaticTargets(int width, int height) {
    std::vector<float> points;
    for (const QPointF& target : PatternGeometry::automaticTargets(width, height)) {
        points.push_back(static_cast<float>(target.x()));
        points.push_back(static_cast<float>(target.y()));
    }
    return points;
}

QJsonArray pointList(const AnalysisResult::PointTable& table, int count) {
    QJsonArray list;
    for (int i = 0; i < count; ++i) {
        const cv::Point2f& p = table[static_cast<size_t>(i)];
        list.append(QJsonArray{static_cast<double>(p.x), static_cast<double>(p.y)});
    }
    return list;
}

QJsonObject failureObject(const AnalysisFailure& failure) {
    QJsonArray missing;
    for (int j : failure.missingTargets)
        missing.append(j);
    return QJsonObject{
        {QStringLiteral("stage"), QString::fromLatin1(AnalysisFailure::stageName(failure.stage))},
        {QStringLiteral("reason"), QString::fromStdString(failure.reason)},
        {QStringLiteral("missingTargets"), missing}};
}

// The options of a kept calibration, as the application ran it.
bool replayOptions(AnalyzeOptions& options, std::vector<float>& tweaks, QString& error) {
    const QDir dir(options.replayDir);
    const QString resultPath = dir.filePath(QStringLiteral("result.json"));
    LastCalibration::Settings kept;
    if (!LastCalibration::loadSettings(options.replayDir, kept, error) ||
        !checkTweaks(resultPath, kept.storedOffsets, error))
        return false;
    options.dark = dir.filePath(QStringLiteral("dark.png"));
    options.bright = dir.filePath(QStringLiteral("bright.png"));
    options.pattern = dir.filePath(QStringLiteral("pattern.png"));
    options.screenWidth = kept.screenWidth;
    options.screenHeight = kept.screenHeight;
    options.lens = kept.lens;
    options.fwMinor = kept.fwMinor;
    options.ceiling = kept.ceiling;
    options.rear = kept.rear;
    options.semi = kept.tuning;
    tweaks = kept.storedOffsets;
    return true;
}

int runAnalysis(AnalyzeOptions options) {
    QString error;
    std::vector<float> tweaks;
    if (!options.replayDir.isEmpty() && !replayOptions(options, tweaks, error))
        return badInput(error);
    cv::Mat dark, bright, pattern;
    if (!loadFrame(options.dark, dark, error) || !loadFrame(options.bright, bright, error) ||
        !loadFrame(options.pattern, pattern, error))
        return badInput(error);
    if (!options.tweaksFile.isEmpty() && !readTweaks(options.tweaksFile, tweaks, error))
        return badInput(error);
    RecordFile record;
    if (!options.recordFile.isEmpty() && !record.open(options.recordFile, error))
        return badInput(error);

    AnalysisSetup setup;
    setup.screenWidth = options.screenWidth;
    setup.screenHeight = options.screenHeight;
    setup.lens = options.lens;
    setup.fwMinor = options.fwMinor;
    setup.ceiling = options.ceiling ? 1 : 0;
    setup.rear = options.rear ? 1 : 0;
    TargetCounts::setForLens(options.lens);
    setup.autoTargetCount = TargetCounts::autoTargetCount.load();
    setup.manualTargetCount = TargetCounts::manualTargetCount.load();
    const int count = setup.autoTargetCount;
    const std::vector<float> targets = automaticTargets(options.screenWidth, options.screenHeight);
    for (size_t i = 0; i + 1 < targets.size(); i += 2)
        setup.targets.emplace_back(targets[i], targets[i + 1]);
    for (size_t i = 0; i + 1 < tweaks.size(); i += 2)
        setup.storedOffsets.emplace_back(tweaks[i], tweaks[i + 1]);
    // As the application does: a failed semi-automatic fit falls back to the automatic one.
    setup.tuning = options.semi;
    const AnalysisResult analysed = analyse({dark, bright, pattern}, setup);
    const bool ok = analysed.ok;
    const std::array<double, 13>& params = analysed.params;
    const int rowLimit = analysed.rowLimit;

    QJsonArray paramList;
    for (double p : params)
        paramList.append(p);
    QJsonObject timings;
    timings[QStringLiteral("normaliseMs")] = analysed.ms.normalise;
    timings[QStringLiteral("detectMs")] = analysed.ms.detect;
    timings[QStringLiteral("fitMs")] = analysed.ms.fit;
    timings[QStringLiteral("rowLimitMs")] = analysed.ms.rowLimit;
    timings[QStringLiteral("totalMs")] =
        analysed.ms.normalise + analysed.ms.detect + analysed.ms.fit + analysed.ms.rowLimit;
    QJsonObject result;
    result[QStringLiteral("fitOk")] = ok;
    result[QStringLiteral("fitError")] = analysed.fitError;
    result[QStringLiteral("fitIterations")] = analysed.fitIterations;
    result[QStringLiteral("params")] = paramList;
    result[QStringLiteral("rowLimit")] = rowLimit;
    result[QStringLiteral("targetsFound")] = analysed.found;
    result[QStringLiteral("rawPoints")] = pointList(analysed.rawPoints, count);
    result[QStringLiteral("correctedPoints")] = pointList(analysed.correctedPoints, count);
    result[QStringLiteral("timings")] = timings;
    if (!ok)
        result[QStringLiteral("failure")] = failureObject(analysed.failure);
    // The record is written before the result is printed, so no printed result claims a record that
    // could not be written.
    if (ok && !options.recordFile.isEmpty()) {
        const auto bytes = CalibParameterRecord::build(CalibParameterRecord::Inputs::fitted(
            params.data(),
            {options.screenWidth, options.screenHeight, options.ceiling ? 1 : 0, options.rear ? 1 : 0,
             options.lens},
            rowLimit, options.fwMinor));
        if (!record.write(
                QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())),
                error))
            return badInput(error);
    }
    QTextStream(stdout) << QJsonDocument(result).toJson(QJsonDocument::Indented);
    if (!ok) {
        QTextStream(stderr) << "vexaro-analyze: calibration failed at the "
                            << AnalysisFailure::stageName(analysed.failure.stage)
                            << " stage: " << QString::fromStdString(analysed.failure.reason) << '\n';
    }
    return ok ? exitAccepted : exitFailed;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    AnalyzeOptions options;
    QString error;
    if (!options.parse(arguments, error))
        return badInput(error);
    if (options.help) {
        QTextStream(stdout) << AnalyzeOptions::usage();
        return exitAccepted;
    }
    if (options.version) {
        QTextStream(stdout) << "vexaro-analyze " << VEXARO_VERSION << '\n';
        return exitAccepted;
    }
    if (!options.exampleDir.isEmpty()) {
        if (!checkExampleFolder(options.exampleDir, options.force, error))
            return badInput(error);
        // Painting the pattern needs a GUI application; no display is used.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        if (!writeExampleFrames(options.exampleDir, options.screenWidth, options.screenHeight, options.lens,
                                options.fwMinor, error))
            return badInput(error);
        return exitAccepted;
    }
    QCoreApplication app(argc, argv);
    return runAnalysis(options);
}
