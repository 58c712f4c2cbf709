// make-artwork <output-folder>
// Draws the program's pictures and writes them as icon.png, banner.png, pen.png and instruction.png.
// make-artwork --icons <output-folder>
// Draws the application icon at the sizes desktops use, as <folder>/hicolor/NxN/apps/vexaro-setup.png.
#include "tools/make-artwork/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>

namespace {

bool save(const QImage& image, const QDir& folder, const char* name) {
    const QString path = folder.filePath(QString::fromLatin1(name));
    QImageWriter writer(path, "png");
    writer.setQuality(0); // smallest file: the PNG writer maps quality 0 to the strongest compression
    if (!writer.write(image)) {
        std::fprintf(stderr, "make-artwork: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    std::printf("%s  %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

// Each size is drawn anew rather than scaled, so small icons stay sharp.
int writeThemeIcons(const QDir& folder) {
    bool ok = true;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString sub = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!folder.mkpath(sub)) {
            std::fprintf(stderr, "make-artwork: cannot create %s\n", qPrintable(folder.filePath(sub)));
            return 1;
        }
        ok = save(artwork::drawIcon(size), QDir(folder.filePath(sub)), "vexaro-setup.png") && ok;
    }
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Drawing needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList args = QGuiApplication::arguments();
    const bool themeIcons = args.size() == 3 && args.at(1) == QLatin1String("--icons");
    if (themeIcons)
        args.removeAt(1);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make-artwork [--icons] <output-folder>\n");
        return 2;
    }
    QDir folder(args.at(1));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "make-artwork: cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    if (themeIcons)
        return writeThemeIcons(folder);

    const artwork::Fonts fonts = artwork::pickFonts();
    std::printf("fonts: lettering \"%s\", script \"%s\"%s\n", qPrintable(fonts.sans),
                qPrintable(fonts.script), fonts.scriptItalic ? " italic" : "");

    bool ok = save(artwork::drawIcon(256), folder, "icon.png");
    ok = save(artwork::drawBanner(fonts), folder, "banner.png") && ok;
    ok = save(artwork::drawPenMark(), folder, "pen.png") && ok;
    ok = save(artwork::drawInstruction(fonts), folder, "instruction.png") && ok;
    return ok ? 0 : 1;
}
