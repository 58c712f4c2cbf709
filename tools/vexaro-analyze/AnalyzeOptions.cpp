#include "AnalyzeOptions.h"

#include "platform/SafeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cmath>

namespace {

bool parseInt(const QString& text, int& value) {
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

bool offsetInFrame(double x, double y) {
    return std::isfinite(x) && std::isfinite(y) && std::fabs(x) <= maxTweakX && std::fabs(y) <= maxTweakY;
}

QString offsetError(const QString& source, int index, double x, double y) {
    return QStringLiteral("%1: offset %2 [%3, %4] is not within -%5..%5 x -%6..%6 camera pixels")
        .arg(source)
        .arg(index + 1)
        .arg(x)
        .arg(y)
        .arg(maxTweakX)
        .arg(maxTweakY);
}

} // namespace

QString AnalyzeOptions::usage() {
    return QStringLiteral(
        "Usage: vexaro-analyze --dark FILE --bright FILE --pattern FILE --screen WxH --lens N\n"
        "                      [--fw-minor V] [--ceiling] [--rear] [--semi] [--tweaks FILE] [--record OUT]\n"
        "       vexaro-analyze --replay DIR [--record OUT]\n"
        "       vexaro-analyze --write-example DIR [--screen WxH] [--lens N] [--fw-minor V] [--force]\n"
        "\n"
        "Runs the automatic calibration analysis on three 1280 x 720 8-bit grey camera frames\n"
        "(screen black, screen white, pattern shown), each a PNG or PGM file of at most 16 MiB or a\n"
        "raw 921,600-byte dump as the module sends it, and prints the result as JSON.\n"
        "\n"
        "  --screen WxH      size of the calibrated screen in pixels\n"
        "  --lens N          lens type (1 to 4)\n"
        "  --fw-minor V      firmware minor number (default 10)\n"
        "  --ceiling, --rear the mounting options the frames were captured with\n"
        "  --semi            semi-automatic fit on the raw detections\n"
        "  --tweaks FILE     stored tweak offsets, a JSON list of the 20 target [x, y] pairs in\n"
        "                    camera pixels, each within -1280..1280 x -720..720 (file at most 64 KiB)\n"
        "  --record OUT      write the 370-byte calibration record of an accepted fit\n"
        "  --write-example DIR  write dark.png, bright.png and pattern.png of a simulated camera\n"
        "                    (default screen 1920x1080, lens 3)\n"
        "  --force           let --write-example replace frames already in DIR\n"
        "  --replay DIR      re-run the calibration kept in DIR (dark.png, bright.png, pattern.png and\n"
        "                    result.json, as the application keeps its last one); the settings\n"
        "                    come from result.json, so only --record goes with it\n"
        "  -h, --help        show this help and exit\n"
        "  -v, --version     show the version and exit\n"
        "\n"
        "A failed calibration adds failure {stage, reason, missingTargets} to the JSON and prints\n"
        "the reason on standard error.\n"
        "Exit code: 0 accepted fit, 1 calibration failed, 2 bad input.\n");
}

bool AnalyzeOptions::onlyUsed(const QStringList& given, const QStringList& used, const QString& mode,
                              QString& error) {
    for (const QString& option : given) {
        if (!used.contains(option)) {
            error = QStringLiteral("%1 does not use %2").arg(mode, option);
            return false;
        }
    }
    return true;
}

bool AnalyzeOptions::parse(const QStringList& arguments, QString& error) {
    static const QStringList flags = {"--semi", "--ceiling", "--rear", "--force"};
    static const QStringList valued = {"--dark",     "--bright", "--pattern", "--screen",        "--lens",
                                       "--fw-minor", "--tweaks", "--record",  "--write-example", "--replay"};
    QStringList given; // each option at most once: a second value would silently win
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            help = true;
            continue;
        }
        if (option == QLatin1String("--version") || option == QLatin1String("-v")) {
            version = true;
            continue;
        }
        if (!flags.contains(option) && !valued.contains(option)) {
            error = QStringLiteral("unknown option %1").arg(option);
            return false;
        }
        if (given.contains(option)) {
            error = QStringLiteral("option %1 given twice").arg(option);
            return false;
        }
        given.append(option);
        if (option == QLatin1String("--semi")) {
            semi = true;
            continue;
        }
        if (option == QLatin1String("--ceiling")) {
            ceiling = true;
            continue;
        }
        if (option == QLatin1String("--rear")) {
            rear = true;
            continue;
        }
        if (option == QLatin1String("--force")) {
            force = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("option %1 needs a value").arg(option);
            return false;
        }
        const QString value = arguments[++i];
        if (value.isEmpty()) {
            error = QStringLiteral("option %1 has an empty value").arg(option);
            return false;
        }
        if (option == QLatin1String("--dark")) {
            dark = value;
        } else if (option == QLatin1String("--bright")) {
            bright = value;
        } else if (option == QLatin1String("--pattern")) {
            pattern = value;
        } else if (option == QLatin1String("--screen")) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$")).match(value);
            if (!m.hasMatch()) {
                error = QStringLiteral("bad --screen %1 (expected WxH)").arg(value);
                return false;
            }
            screenWidth = m.captured(1).toInt();
            screenHeight = m.captured(2).toInt();
            if (screenWidth < 64 || screenHeight < 64 || screenWidth > 16384 || screenHeight > 16384) {
                error = QStringLiteral("bad --screen %1 (64 to 16384 pixels each)").arg(value);
                return false;
            }
        } else if (option == QLatin1String("--lens")) {
            // The analysis knows lens types 1 to 4; any other has no targets to look for.
            if (!parseInt(value, lens) || lens < 1 || lens > 4) {
                error = QStringLiteral("bad --lens %1 (1 to 4)").arg(value);
                return false;
            }
        } else if (option == QLatin1String("--fw-minor")) {
            if (!parseInt(value, fwMinor) || fwMinor < 0 || fwMinor > 255) {
                error = QStringLiteral("bad --fw-minor %1 (0 to 255)").arg(value);
                return false;
            }
        } else if (option == QLatin1String("--tweaks")) {
            tweaksFile = value;
        } else if (option == QLatin1String("--record")) {
            recordFile = value;
        } else if (option == QLatin1String("--replay")) {
            replayDir = value;
        } else {
            exampleDir = value;
        }
    }
    if (help || version)
        return true;
    if (!replayDir.isEmpty()) {
        // Everything else comes from the kept calibration: an option given besides would be ignored.
        return onlyUsed(given, {"--replay", "--record"}, QStringLiteral("--replay"), error);
    }
    if (!exampleDir.isEmpty()) {
        if (!onlyUsed(given, {"--write-example", "--screen", "--lens", "--fw-minor", "--force"},
                      QStringLiteral("--write-example"), error))
            return false;
        if (screenWidth == 0) {
            screenWidth = 1920;
            screenHeight = 1080;
        }
        if (lens < 0)
            lens = 3;
        return true;
    }
    if (force) {
        error = QStringLiteral("--force goes only with --write-example");
        return false;
    }
    if (dark.isEmpty() || bright.isEmpty() || pattern.isEmpty()) {
        error = QStringLiteral("--dark, --bright and --pattern are required");
        return false;
    }
    if (screenWidth == 0) {
        error = QStringLiteral("--screen is required");
        return false;
    }
    if (lens < 0) {
        error = QStringLiteral("--lens is required");
        return false;
    }
    return true;
}

bool readTweaks(const QString& path, std::vector<float>& pairs, QString& error) {
    SafeFile::Read file;
    if (!SafeFile::read(path, 64 * 1024, file, error, SafeFile::Links::Follow))
        return false;
    const QByteArray& bytes = file.content;
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // NaN and Infinity are no JSON numbers and end up here.
        error = QStringLiteral("%1 is not JSON (%2 at byte %3)")
                    .arg(path, parseError.errorString())
                    .arg(parseError.offset);
        return false;
    }
    if (!document.isArray()) {
        error = QStringLiteral("%1 is not a JSON list of [x, y] pairs").arg(path);
        return false;
    }
    const QJsonArray list = document.array();
    // The offsets are applied target by target: a list of another length would shift some targets
    // and leave the others with none.
    if (list.size() != 20) {
        error =
            QStringLiteral("%1 holds %2 offset pairs, not the 20 of the targets").arg(path).arg(list.size());
        return false;
    }
    pairs.clear();
    for (int i = 0; i < list.size(); ++i) {
        const QJsonArray pair = list[i].toArray();
        if (pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble()) {
            error = QStringLiteral("%1: offset %2 is not an [x, y] pair of numbers").arg(path).arg(i + 1);
            return false;
        }
        const double x = pair[0].toDouble();
        const double y = pair[1].toDouble();
        // Checked as doubles: 1e39 has no float.
        if (!offsetInFrame(x, y)) {
            error = offsetError(path, i, x, y);
            return false;
        }
        pairs.push_back(static_cast<float>(x));
        pairs.push_back(static_cast<float>(y));
    }
    return true;
}

bool checkTweaks(const QString& source, const std::vector<float>& pairs, QString& error) {
    for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
        if (!offsetInFrame(pairs[i], pairs[i + 1])) {
            error = offsetError(source, static_cast<int>(i / 2), pairs[i], pairs[i + 1]);
            return false;
        }
    }
    return true;
}
