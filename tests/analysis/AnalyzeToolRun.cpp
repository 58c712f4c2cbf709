#include "AnalyzeToolRun.h"

#include <QProcess>

AnalyzeToolRun AnalyzeToolRun::start(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(VEXARO_BINARY_DIR "/tools/vexaro-analyze/vexaro-analyze"), arguments);
    AnalyzeToolRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
