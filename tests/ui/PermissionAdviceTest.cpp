// The command shown when the user may not open the module: honest about what is on this system.
#include "ui/PermissionAdvice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PermissionAdvice, InstalledRuleIsAppliedSourceRuleIsCopiedNoRuleNoCommand) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString installed = dir.filePath(QStringLiteral("installed.rules"));
    const QString source = dir.filePath(QStringLiteral("my rules/60-vexaro.rules"));
    const QString missing = dir.filePath(QStringLiteral("missing.rules"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("my rules")));
    for (const QString& path : {installed, source}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // A rule in place: only applying it is missing, whatever the source tree holds.
    EXPECT_TRUE(PermissionAdvice::ruleInstalled({missing, installed}));
    EXPECT_EQ(PermissionAdvice::command({missing, installed}, source),
              QStringLiteral("sudo udevadm control --reload-rules && sudo udevadm trigger"));
    // Only the source rule: copied by its full path, quoted as one word despite the space.
    EXPECT_FALSE(PermissionAdvice::ruleInstalled({missing}));
    EXPECT_EQ(PermissionAdvice::command({missing}, source),
              QStringLiteral("sudo cp '%1' /etc/udev/rules.d/ && sudo udevadm control --reload-rules && "
                             "sudo udevadm trigger")
                  .arg(source));
    // A folder where the rule should be is not a rule; with nothing found there is no command.
    EXPECT_FALSE(PermissionAdvice::ruleInstalled({dir.path()}));
    EXPECT_TRUE(PermissionAdvice::command({dir.path()}, missing).isEmpty());
}
