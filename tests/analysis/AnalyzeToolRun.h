#pragma once

#include <QByteArray>
#include <QStringList>

// One run of the built vexaro-analyze, as a support engineer would start it.
struct AnalyzeToolRun {
    int exitCode = -1; // -1 when it did not end within two minutes, -2 when it crashed
    QByteArray out;
    QByteArray err;

    static AnalyzeToolRun start(const QStringList& arguments);
};
