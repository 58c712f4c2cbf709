#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// Command line of vexaro-analyze.
struct AnalyzeOptions {
    QString dark;
    QString bright;
    QString pattern;
    int screenWidth = 0;
    int screenHeight = 0;
    int lens = -1;
    int fwMinor = 10; // as the controller keeps it until a firmware version is read
    bool semi = false;
    bool ceiling = false; // the mounting options in force when the frames were captured
    bool rear = false;
    QString replayDir;
    QString tweaksFile;
    QString recordFile;
    QString exampleDir;
    bool force = false; // --write-example replaces frames already in its folder
    bool help = false;
    bool version = false;

    // False with a one-line reason in error.
    bool parse(const QStringList& arguments, QString& error);

    static QString usage();

private:
    // False naming the first option in given that the chosen mode does not use.
    static bool onlyUsed(const QStringList& given, const QStringList& used, const QString& mode,
                         QString& error);
};

// Largest tweak offset in camera pixels: a larger one would move a target out of the 1280 x 720 frame.
constexpr double maxTweakX = 1280.0;
constexpr double maxTweakY = 720.0;

// Stored tweak offsets as a JSON list of exactly the 20 target [x, y] pairs; false with a reason.
bool readTweaks(const QString& path, std::vector<float>& pairs, QString& error);
// False naming source and the first offset that is not finite or beyond maxTweakX, maxTweakY.
bool checkTweaks(const QString& source, const std::vector<float>& pairs, QString& error);
