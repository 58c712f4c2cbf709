#include "ExampleFrames.h"

#include "calibration/PatternPainter.h"
#include "sim/VirtualCamera.h"
#include "sim/VirtualScene.h"

#include <QDir>
#include <opencv2/imgcodecs.hpp>

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
    } files[] = {{"dark.png", dark}, {"bright.png", bright}, {"pattern.png", pattern}};
    for (const auto& file : files) {
        const QString path = dir.filePath(QString::fromLatin1(file.name));
        if (file.frame.empty() || !cv::imwrite(path.toStdString(), file.frame)) {
            error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}
