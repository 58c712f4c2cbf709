#pragma once

#include <QSaveFile>
#include <QString>

// The --record output, opened before the analysis so that a path that cannot be written is refused
// before any result is printed. The record replaces the file only once it is written whole; a run
// that writes none leaves an existing file as it was.
class RecordFile {
public:
    // False with a reason naming the path.
    bool open(const QString& path, QString& error);
    bool write(const QByteArray& record, QString& error);

private:
    QSaveFile file_;
};
