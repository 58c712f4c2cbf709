#include "ScreenText.h"

#include <QBuffer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

bool ScreenText::available() {
    return !QStandardPaths::findExecutable(QStringLiteral("tesseract")).isEmpty();
}

QString ScreenText::read(const QImage& picture, const QString& languages) {
    if (picture.isNull() || !available())
        return QString();
    // Tesseract reads small interface text far better enlarged, in grey, dark on light.
    QImage grey = picture.convertToFormat(QImage::Format_Grayscale8)
                      .scaled(picture.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    grey.save(&buffer, "PNG");
    QProcess tesseract;
    tesseract.start(QStringLiteral("tesseract"),
                    {QStringLiteral("stdin"), QStringLiteral("stdout"), QStringLiteral("-l"), languages,
                     QStringLiteral("--psm"), QStringLiteral("3")});
    if (!tesseract.waitForStarted(5000))
        return QString();
    tesseract.write(png);
    tesseract.closeWriteChannel();
    if (!tesseract.waitForFinished(60000) || tesseract.exitCode() != 0)
        return QString();
    QString text = QString::fromUtf8(tesseract.readAllStandardOutput());
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

QImage ScreenText::grabDisplay(const QString& display) {
    QProcess grab;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    grab.setProcessEnvironment(environment);
    grab.start(QStringLiteral("import"),
               {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")});
    if (!grab.waitForFinished(20000) || grab.exitCode() != 0)
        return QImage();
    return QImage::fromData(grab.readAllStandardOutput(), "PNG");
}
