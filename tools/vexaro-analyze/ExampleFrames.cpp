#include "ExampleFrames.h"

#include "calibration/PatternPainter.h"
#include "sim/VirtualCamera.h"
#include "sim/VirtualScene.h"

#include <QDir>
#include <QFileInfo>
#include <opencv2/imgcodecs.hpp>

namespace {

const char* const frameNames[] = {"dark.png", "bright.png", "pattern.png"};

} // namespace

// The user's own captures may sit in the folder: they are kept unless replacing them was asked for.
bool checkExampleFolder(const QString& directory, bool replace, QString& error) {
    const QDir dir(directory);
    for (const char* name : frameNames) {
        const QFileInfo existing(dir.filePath(QString::fromLatin1(name)));
        if (!existing.exists() && !existing.isSymLink())
            continue;
        if (existing.isSymLink() || !existing.isFile()) {
            error = QStringLiteral("%1 exists and is not a regular file").arg(existing.filePath());
            return false;
        }
        if (!replace) {
            error = QStringLiteral("%1 already holds %2 (--force replaces it)").arg(dir.path(), name);
            return false;
        }
    }
    return true;
}

bool writeExampleFrames(const QString& directory, int screenWidth, int screenHeight, eLens lens, int fwMinor,
                        QString& error) {
    if (!QDir().mkpath(directory)) {
        error = QStringLiteral("cannot create %1").arg(directory);
        return false;
    }
    VirtualPose pose;
    pose.keystone = 0.03;
    pose.rollDegrees = 1.0;
    const MappingModel truth = VirtualScene::groundTruth(screenWidth, screenHeight, lens, fwMinor, pose);
    const VirtualCamera camera(truth, screenWidth, screenHeight, 3);
    VirtualPhotometry light;
    light.seed = 7;
    const cv::Mat dark = camera.renderUniform(0, light);
    light.seed = 8;
    const cv::Mat bright = camera.renderUniform(255, light);
    light.seed = 9;
    const cv::Mat pattern = camera.render(PatternPainter::render(screenWidth, screenHeight, 0, 0), light);
    const QDir dir(directory);
    const struct {
        const char* name;
        const cv::Mat& frame;
    } files[] = {{frameNames[0], dark}, {frameNames[1], bright}, {frameNames[2], pattern}};
    for (const auto& file : files) {
        const QString path = dir.filePath(QString::fromLatin1(file.name));
        if (file.frame.empty() || !cv::imwrite(path.toStdString(), file.frame)) {
            error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}
