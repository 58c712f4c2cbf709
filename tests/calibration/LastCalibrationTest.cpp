// The last automatic calibration is kept for support, and vexaro-analyze --replay runs it again.
#include "FlowHarness.h"

#include "calibration/LastCalibration.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QJsonObject result;
    QByteArray err;
};

ToolRun replay(const QString& folder) {
    QProcess process;
    process.start(QStringLiteral(VEXARO_BINARY_DIR "/tools/vexaro-analyze/vexaro-analyze"),
                  {QStringLiteral("--replay"), folder});
    ToolRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.result = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    run.err = process.readAllStandardError();
    return run;
}

QJsonObject keptResult(const QString& folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("result.json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

TEST(LastCalibrationKept, ReplayRerunsTheKeptCalibration) {
    VirtualRig rig;
    rig.ceiling = true;
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);
    const QString folder = LastCalibration::folder();
    QDir(folder).removeRecursively();
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_TRUE(h.boxes.isEmpty());

    for (const char* name : {"dark.png", "bright.png", "pattern.png", "annotated.png", "result.json"})
        EXPECT_TRUE(QFile::exists(QDir(folder).filePath(QString::fromLatin1(name)))) << name;
    LastCalibration::Settings kept;
    QString error;
    ASSERT_TRUE(LastCalibration::loadSettings(folder, kept, error)) << error.toStdString();
    EXPECT_EQ(kept.screenWidth, rig.screenWidth);
    EXPECT_EQ(kept.screenHeight, rig.screenHeight);
    EXPECT_EQ(kept.lens, rig.lens);
    EXPECT_EQ(kept.fwMinor, rig.fwMinor);
    EXPECT_TRUE(kept.ceiling);
    EXPECT_FALSE(kept.rear);
    const QJsonObject result = keptResult(folder)["result"].toObject();
    EXPECT_TRUE(result["fitOk"].toBool());

    const ToolRun run = replay(folder);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray keptParams = result["params"].toArray();
    const QJsonArray params = run.result["params"].toArray();
    ASSERT_EQ(params.size(), 13);
    ASSERT_EQ(keptParams.size(), 13);
    for (int i = 0; i < 13; ++i) {
        const double a = keptParams[i].toDouble(), b = params[i].toDouble();
        EXPECT_NEAR(a, b, 1e-9 * std::max(1.0, std::fabs(a))) << "parameter " << i;
    }
    EXPECT_EQ(run.result["rowLimit"].toInt(), result["rowLimit"].toInt());
}

TEST(LastCalibrationKept, FailedCalibrationKeepsItsReasonAndReplacesTheSet) {
    // A rear installation calibrated with the Rear option off: the camera sees the pattern mirrored.
    VirtualRig rig;
    rig.rear = true;
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);
    h.controller->setRear(false);
    const QString folder = LastCalibration::folder();
    QFile::remove(QDir(folder).filePath(QStringLiteral("result.json")));
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(h.boxes.size(), 1);
    EXPECT_EQ(h.boxes[0].text, "Calibration failed. Please try again.\n\n"
                               "The camera sees the picture mirrored.\n"
                               "Tick “Rear Screen Mode” in the settings window, then try again.");
    // The box's details picture is the one kept.
    const QImage annotated(QDir(folder).filePath(QStringLiteral("annotated.png")));
    ASSERT_FALSE(annotated.isNull());
    EXPECT_EQ(annotated.convertToFormat(QImage::Format_RGB888),
              h.boxes[0].details.convertToFormat(QImage::Format_RGB888));

    const QJsonObject kept = keptResult(folder);
    EXPECT_FALSE(kept["rear"].toBool());
    const QJsonObject failure = kept["result"].toObject()["failure"].toObject();
    EXPECT_EQ(failure["reason"].toString(),
              "the camera sees the pattern mirrored: the Rear Screen option looks wrong");
    EXPECT_EQ(failure["cause"].toString(), "pattern mirrored");
    const ToolRun run = replay(folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.result["failure"].toObject()["reason"].toString(), failure["reason"].toString());
    EXPECT_FALSE(QDir(folder + QStringLiteral(".new")).exists());
}

// The kept set lives in the user's cache, where a link may stand in for it or for the folder of a
// save that was cut short: the links are replaced or removed as links, and nothing they point to is
// touched.
TEST(LastCalibrationKept, LinksInPlaceOfTheKeptFoldersAreNeverFollowed) {
    QTemporaryDir cache, victim;
    ASSERT_TRUE(cache.isValid() && victim.isValid());
    ASSERT_TRUE(QDir(victim.path()).mkpath(QStringLiteral("sub")));
    for (const QString& name : {QStringLiteral("a"), QStringLiteral("sub/b")}) {
        QFile f(victim.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString target = cache.filePath(QStringLiteral("last-calibration"));
    ASSERT_TRUE(QFile::link(victim.path(), target));
    ASSERT_TRUE(QFile::link(victim.path(), target + QStringLiteral(".new")));
    const cv::Mat frame(720, 1280, CV_8UC1, cv::Scalar(128));
    LastCalibration::Settings settings;
    settings.screenWidth = 1280;
    settings.screenHeight = 800;
    settings.lens = 3;
    for (int round = 0; round < 2; ++round) {
        QString error;
        ASSERT_TRUE(
            LastCalibration::save(target, frame, frame, frame, settings, LastCalibration::Result(), error))
            << error.toStdString();
    }
    EXPECT_TRUE(QFile::exists(victim.filePath(QStringLiteral("a"))));
    EXPECT_TRUE(QFile::exists(victim.filePath(QStringLiteral("sub/b"))));
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_TRUE(QFile::exists(QDir(target).filePath(QStringLiteral("result.json"))));
    // Only the kept set is left: the planted link and every fresh folder of the saves are gone.
    EXPECT_EQ(QDir(cache.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
              QStringList{QStringLiteral("last-calibration")});
}
