#include "ui/PermissionAdvice.h"

#include <QFileInfo>

namespace {
const QString applyRules = QStringLiteral("sudo udevadm control --reload-rules && sudo udevadm trigger");
} // namespace

QString PermissionAdvice::command(const QStringList& installedRules, const QString& sourceRule) {
    if (ruleInstalled(installedRules))
        return applyRules;
    const QFileInfo source(sourceRule);
    if (!sourceRule.isEmpty() && source.isFile())
        return QStringLiteral("sudo cp %1 /etc/udev/rules.d/ && ")
                   .arg(shellQuoted(source.absoluteFilePath())) +
               applyRules;
    return QString();
}

bool PermissionAdvice::ruleInstalled(const QStringList& installedRules) {
    for (const QString& rule : installedRules) {
        if (QFileInfo(rule).isFile())
            return true;
    }
    return false;
}

QStringList PermissionAdvice::installedRulesHere() {
    return {QStringLiteral("/usr/lib/udev/rules.d/60-vexaro.rules"),
            QStringLiteral("/lib/udev/rules.d/60-vexaro.rules"),
            QStringLiteral("/etc/udev/rules.d/60-vexaro.rules")};
}

QString PermissionAdvice::commandHere() {
    return command(installedRulesHere(), QStringLiteral(VEXARO_SOURCE_RULE));
}

bool PermissionAdvice::ruleInstalledHere() {
    return ruleInstalled(installedRulesHere());
}

// A path pasted into a shell stays one word whatever it holds.
QString PermissionAdvice::shellQuoted(const QString& path) {
    static const QString plainCharacters = QStringLiteral("/._-+");
    bool plain = !path.isEmpty();
    for (const QChar c : path)
        plain = plain && c.unicode() < 128 && (c.isLetterOrNumber() || plainCharacters.contains(c));
    if (plain)
        return path;
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}
