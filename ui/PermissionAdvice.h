#pragma once

#include <QString>
#include <QStringList>

// The command that lets this user open the module: the udev rule, installed by the package or
// copied from the source tree, applied to the module already plugged in. Not translated.
class PermissionAdvice {
public:
    // installedRules: where a package puts the rule; sourceRule: the rule next to a source build.
    // With a rule installed, the command applies it again; with only the source rule, it installs
    // that one; with neither, there is no honest command and the result is empty.
    static QString command(const QStringList& installedRules, const QString& sourceRule);
    // The same for this system's files.
    static QString commandHere();
    // Whether one of the rule files is in place (then only applying it and a re-plug are missing).
    static bool ruleInstalled(const QStringList& installedRules);
    static bool ruleInstalledHere();

private:
    static QStringList installedRulesHere();
    static QString shellQuoted(const QString& path);
};
