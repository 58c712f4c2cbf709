#include "services/ParagraphDirection.h"

#include <QStringList>

QString ParagraphDirection::inLanguageDirection(const QString& text, bool rightToLeft) {
    if (!rightToLeft || text.isEmpty())
        return text;
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (!line.startsWith(rightToLeftMark))
            line.prepend(rightToLeftMark);
    }
    return lines.join(QLatin1Char('\n'));
}

QString ParagraphDirection::withoutMarks(QString text) {
    return text.remove(rightToLeftMark);
}
