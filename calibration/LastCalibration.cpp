#include "calibration/LastCalibration.h"

#include "platform/SafeFile.h"
#include "platform/SafeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>

// The controller's category by name, defined here too so that this part links without the controller.
Q_LOGGING_CATEGORY(lcLastCalibration, "vexaro.calibration", QtWarningMsg)

namespace {

bool writeFrame(const QDir& dir, const char* name, const cv::Mat& frame) {
    if (frame.empty() || frame.type() != CV_8UC1)
        return false;
    const QImage image(frame.data, frame.cols, frame.rows, static_cast<int>(frame.step),
                       QImage::Format_Grayscale8);
    return image.save(dir.filePath(QString::fromLatin1(name)), "PNG");
}

bool writePicture(const QDir& dir, const char* name, const cv::Mat& picture) {
    if (picture.empty())
        return true; // nothing to keep
    if (picture.type() != CV_8UC3)
        return false;
    const QImage image(picture.data, picture.cols, picture.rows, static_cast<int>(picture.step),
                       QImage::Format_BGR888);
    return image.save(dir.filePath(QString::fromLatin1(name)), "PNG");
}

QJsonObject settingsObject(const LastCalibration::Settings& s) {
    QJsonObject o;
    o[QStringLiteral("screenWidth")] = s.screenWidth;
    o[QStringLiteral("screenHeight")] = s.screenHeight;
    o[QStringLiteral("lens")] = s.lens;
    o[QStringLiteral("fwMinor")] = s.fwMinor;
    o[QStringLiteral("ceiling")] = s.ceiling;
    o[QStringLiteral("rear")] = s.rear;
    o[QStringLiteral("tuning")] = s.tuning;
    QJsonArray offsets;
    for (size_t i = 0; i + 1 < s.storedOffsets.size(); i += 2)
        offsets.append(
            QJsonArray{static_cast<double>(s.storedOffsets[i]), static_cast<double>(s.storedOffsets[i + 1])});
    o[QStringLiteral("storedOffsets")] = offsets;
    return o;
}

QJsonObject resultObject(const LastCalibration::Result& r) {
    QJsonObject o;
    o[QStringLiteral("fitOk")] = r.fitOk;
    o[QStringLiteral("fitError")] = r.fitError;
    QJsonArray params;
    for (double p : r.params)
        params.append(p);
    o[QStringLiteral("params")] = params;
    o[QStringLiteral("rowLimit")] = r.rowLimit;
    if (!r.fitOk) {
        QJsonArray missing;
        for (int j : r.missingTargets)
            missing.append(j);
        o[QStringLiteral("failure")] = QJsonObject{{QStringLiteral("stage"), r.failureStage},
                                                   {QStringLiteral("reason"), r.failureReason},
                                                   {QStringLiteral("cause"), r.failureCause},
                                                   {QStringLiteral("missingTargets"), missing}};
    }
    return o;
}

bool intIn(const QJsonObject& o, const char* key, int lo, int hi, int& value) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble() || v.toDouble() != std::floor(v.toDouble()) || v.toDouble() < lo || v.toDouble() > hi)
        return false;
    value = v.toInt();
    return true;
}

} // namespace

QString LastCalibration::folder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("Vexaro/last-calibration"));
}

bool LastCalibration::save(const QString& target, const cv::Mat& dark, const cv::Mat& bright,
                           const cv::Mat& pattern, const Settings& settings, const Result& result,
                           QString& error, const cv::Mat& annotated) {
    // The new set is written into a fresh folder beside the old one and swapped in only when
    // complete, so a failed write never leaves a mixed set of two calibrations. The folders are in
    // the user's cache, where anything may have been put: nothing is followed through a link.
    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent)) {
        error = QStringLiteral("cannot create %1").arg(parent);
        return false;
    }
    SafeFolder::removeTree(target + QStringLiteral(".new")); // left by an earlier version
    const QString fresh = SafeFolder::makeFresh(target + QStringLiteral(".new-"));
    if (fresh.isEmpty()) {
        error = QStringLiteral("cannot create a folder beside %1").arg(target);
        return false;
    }
    const QDir dir(fresh);
    if (!writeFrame(dir, "dark.png", dark) || !writeFrame(dir, "bright.png", bright) ||
        !writeFrame(dir, "pattern.png", pattern) || !writePicture(dir, "annotated.png", annotated)) {
        error = QStringLiteral("cannot write the frames into %1").arg(fresh);
        SafeFolder::removeTree(fresh);
        return false;
    }
    QJsonObject root = settingsObject(settings);
    root[QStringLiteral("result")] = resultObject(result);
    QSaveFile json(dir.filePath(QStringLiteral("result.json")));
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(root).toJson()) < 0 || !json.commit()) {
        error = QStringLiteral("cannot write %1").arg(json.fileName());
        SafeFolder::removeTree(fresh);
        return false;
    }
    // Swapped as entries: whatever stood at target (a folder, a file or a link) ends up at fresh
    // and is removed there as itself.
    const QByteArray from = QFile::encodeName(fresh);
    const QByteArray to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        SafeFolder::removeTree(fresh);
    } else if (errno != ENOENT || ::rename(from.constData(), to.constData()) != 0) {
        error = QStringLiteral("cannot replace %1").arg(target);
        SafeFolder::removeTree(fresh);
        return false;
    }
    return true;
}

void LastCalibration::keep(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                           Settings settings, const CalibrationAnalysis::AutoFit& fit,
                           const cv::Mat& annotated) {
    settings.storedOffsets.assign(fit.storedOffsets.begin(),
                                  fit.storedOffsets.begin() + 2 * std::clamp(fit.storedCount, 0, 25));
    Result result;
    result.fitOk = fit.ok;
    result.fitError = fit.fitError;
    std::copy(fit.params.begin(), fit.params.begin() + 13, result.params.begin());
    result.rowLimit = fit.rowLimit;
    result.failureStage = QString::fromLatin1(AnalysisFailure::stageName(fit.failure.stage));
    result.failureReason = QString::fromStdString(fit.failure.reason);
    result.failureCause = QString::fromLatin1(AnalysisFailure::causeName(fit.failure.cause));
    result.missingTargets = fit.failure.missingTargets;
    QString error;
    if (!save(folder(), dark, bright, pattern, settings, result, error, annotated))
        qCInfo(lcLastCalibration).noquote() << "the last calibration was not kept:" << error;
}

bool LastCalibration::loadSettings(const QString& from, Settings& settings, QString& error) {
    const QString path = QDir(from).filePath(QStringLiteral("result.json"));
    // Only a regular file of bounded size: a FIFO put there would block the reader.
    SafeFile::Read file;
    if (!SafeFile::read(path, 256 * 1024, file, error, SafeFile::Links::Follow))
        return false;
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.content, &parseError);
    const QJsonObject o = document.object();
    Settings s;
    if (parseError.error != QJsonParseError::NoError || !document.isObject() ||
        !intIn(o, "screenWidth", 64, 16384, s.screenWidth) ||
        !intIn(o, "screenHeight", 64, 16384, s.screenHeight) || !intIn(o, "lens", 1, 4, s.lens) ||
        !intIn(o, "fwMinor", 0, 255, s.fwMinor) || !o.value(QLatin1String("ceiling")).isBool() ||
        !o.value(QLatin1String("rear")).isBool() || !o.value(QLatin1String("storedOffsets")).isArray()) {
        error = QStringLiteral("%1 is not a kept calibration's result").arg(path);
        return false;
    }
    s.ceiling = o.value(QLatin1String("ceiling")).toBool();
    s.rear = o.value(QLatin1String("rear")).toBool();
    s.tuning = o.value(QLatin1String("tuning")).toBool(false);
    const QJsonArray offsets = o.value(QLatin1String("storedOffsets")).toArray();
    if (offsets.size() > 25) {
        error = QStringLiteral("%1 holds more than 25 offset pairs").arg(path);
        return false;
    }
    for (const QJsonValue& entry : offsets) {
        const QJsonArray pair = entry.toArray();
        if (pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble()) {
            error = QStringLiteral("%1 has a bad offset pair").arg(path);
            return false;
        }
        s.storedOffsets.push_back(static_cast<float>(pair[0].toDouble()));
        s.storedOffsets.push_back(static_cast<float>(pair[1].toDouble()));
    }
    settings = s;
    return true;
}
