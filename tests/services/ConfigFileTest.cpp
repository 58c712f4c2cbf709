// The configuration file: where it lives, how the saved language id is read and written.
#include "services/ConfigFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void restoreVariable(const char* name, const QByteArray& value) {
    if (value.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, value);
}

// Points the all-users data folder and the user's configuration folder at fresh temporary folders.
class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(home.isValid());
        previous = qgetenv("VEXARO_COMMON_APPDATA");
        previousHome = qgetenv("XDG_CONFIG_HOME");
        setCommonFolder(dir.path());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    }
    void TearDown() override {
        restoreVariable("VEXARO_COMMON_APPDATA", previous);
        restoreVariable("XDG_CONFIG_HOME", previousHome);
    }
    static void setCommonFolder(const QString& folder) {
        qputenv("VEXARO_COMMON_APPDATA", QFile::encodeName(folder));
    }
    static void writeAt(const QString& path, const QByteArray& content) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // A file where the all-users folder should be: nothing can be created there, even by root.
    void blockCommonFolder() {
        QFile blocker(dir.path() + "/Norvale");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    void writeFile(const QByteArray& content) { writeAt(ConfigFile::path(), content); }
    QByteArray fileContent() {
        QFile file(ConfigFile::path());
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    }

    QTemporaryDir dir;
    QTemporaryDir home;
    QByteArray previous;
    QByteArray previousHome;
};

} // namespace

TEST_F(ConfigFileTest, PathIsConfigIniUnderNorvaleVexaro) {
    EXPECT_EQ(ConfigFile::path(), dir.path() + "/Norvale/Vexaro/config.ini");
}

TEST_F(ConfigFileTest, MissingFileOrKeyReadsAsNoChoice) {
    EXPECT_EQ(ConfigFile::readLanguageId(), -1);
    writeFile("[Configuration]\r\nOther=3\r\n");
    EXPECT_EQ(ConfigFile::readLanguageId(), -1);
}

TEST_F(ConfigFileTest, ValuesAreReadAsTheirIntegerConversion) {
    writeFile("[Configuration]\nLanguageID=4\n");
    EXPECT_EQ(ConfigFile::readLanguageId(), 4);
    writeFile("[Configuration]\nLanguageID=abc\n");
    EXPECT_EQ(ConfigFile::readLanguageId(), 0);
    writeFile("[Configuration]\nLanguageID=25\n");
    EXPECT_EQ(ConfigFile::readLanguageId(), 25);
    writeFile("[Configuration]\nLanguageID=0\n");
    EXPECT_EQ(ConfigFile::readLanguageId(), 0);
}

TEST_F(ConfigFileTest, WriteCreatesFolderAndFileWithIndexPlusOne) {
    ConfigFile::writeLanguageId(6);
    EXPECT_TRUE(fileContent().contains("[Configuration]"));
    EXPECT_TRUE(fileContent().contains("LanguageID=7"));
    EXPECT_EQ(ConfigFile::readLanguageId(), 7);
}

TEST_F(ConfigFileTest, WriteKeepsOtherGroupsAndKeys) {
    writeFile("[Display]\nMode=wide\n\n[Configuration]\nLanguageID=2\nExtra=yes\n");
    ConfigFile::writeLanguageId(14);
    QSettings settings(ConfigFile::path(), QSettings::IniFormat);
    EXPECT_EQ(settings.value("Display/Mode").toString(), QStringLiteral("wide"));
    EXPECT_EQ(settings.value("Configuration/Extra").toString(), QStringLiteral("yes"));
    EXPECT_EQ(settings.value("Configuration/LanguageID").toString(), QStringLiteral("15"));
}

TEST_F(ConfigFileTest, FolderOutsideLatin1IsUsedAsNamed) {
    // Greek and Chinese letters, as a user's data folder on a UTF-8 system may hold them.
    const QString folder =
        dir.path() + QString::fromUtf8("/Daten-\u03a9\u03bc\u03ad\u03b3\u03b1-\u6570\u636e");
    ASSERT_TRUE(QDir().mkpath(folder));
    setCommonFolder(folder);
    EXPECT_EQ(ConfigFile::path(), folder + "/Norvale/Vexaro/config.ini");
    ConfigFile::writeLanguageId(14);
    EXPECT_TRUE(QFileInfo::exists(folder + "/Norvale/Vexaro/config.ini"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
    EXPECT_EQ(ConfigFile::readLanguageId(), 15);
}

TEST_F(ConfigFileTest, LongFolderIsNotCut) {
    QString folder = dir.path();
    for (int i = 0; i < 3; ++i)
        folder += QLatin1Char('/') + QString(120, QLatin1Char('a' + i));
    ASSERT_GT(folder.toUtf8().size(), 259);
    setCommonFolder(folder);
    EXPECT_EQ(ConfigFile::path(), folder + "/Norvale/Vexaro/config.ini");
    ConfigFile::writeLanguageId(2);
    EXPECT_TRUE(QFileInfo::exists(folder + "/Norvale/Vexaro/config.ini"));
    EXPECT_EQ(ConfigFile::readLanguageId(), 3);
}

TEST_F(ConfigFileTest, UnwritableFolderKeepsTheChoiceInTheUserFolder) {
    blockCommonFolder();
    EXPECT_EQ(ConfigFile::userPath(), home.path() + "/Norvale/Vexaro/config.ini");
    ConfigFile::writeLanguageId(3);
    EXPECT_FALSE(QFileInfo::exists(ConfigFile::path()));
    EXPECT_EQ(ConfigFile::readLanguageId(), 4);
    // A second change in the same run lands there too.
    ConfigFile::writeLanguageId(8);
    EXPECT_EQ(ConfigFile::readLanguageId(), 9);
    QSettings settings(ConfigFile::userPath(), QSettings::IniFormat);
    EXPECT_EQ(settings.value("Configuration/LanguageID").toString(), QStringLiteral("9"));
}

TEST_F(ConfigFileTest, WritableAllUsersFileWinsOverAnOlderUserFile) {
    // Once the all-users file can be written again, what it holds is the latest choice.
    writeAt(ConfigFile::userPath(), "[Configuration]\nLanguageID=9\n");
    EXPECT_EQ(ConfigFile::readLanguageId(), 9);
    ConfigFile::writeLanguageId(1);
    EXPECT_EQ(ConfigFile::readLanguageId(), 2);
    // Another length than the file just saved: Qt keeps a parsed file while its size and time stamp
    // stay the same, and two writes within one time-stamp tick would look unchanged.
    writeFile("[Configuration]\nLanguageID=15\n");
    EXPECT_EQ(ConfigFile::readLanguageId(), 15);
}

TEST_F(ConfigFileTest, ReadOnlyAllUsersFolderLeavesTheChoiceToTheUserFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write any folder";
    writeFile("[Configuration]\nLanguageID=5\n");
    const QString folder = QFileInfo(ConfigFile::path()).absolutePath();
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    // The file itself stays writable: saving replaces it, which the folder does not allow.
    ASSERT_TRUE(QFile::setPermissions(folder, readOnly));
    EXPECT_EQ(ConfigFile::readLanguageId(), 5);
    ConfigFile::writeLanguageId(10);
    EXPECT_EQ(ConfigFile::readLanguageId(), 11);
    EXPECT_TRUE(fileContent().contains("LanguageID=5"));
    QFile::setPermissions(folder, readOnly | QFile::WriteOwner);
}
