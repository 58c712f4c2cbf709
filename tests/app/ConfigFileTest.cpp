// The configuration file: where it lives, how the saved language id is read and written.
#include "app/ConfigFile.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Points the all-users data folder at a fresh temporary folder for one test.
class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        previous = qgetenv("VEXARO_COMMON_APPDATA");
        qputenv("VEXARO_COMMON_APPDATA", dir.path().toLocal8Bit());
    }
    void TearDown() override {
        if (previous.isEmpty())
            qunsetenv("VEXARO_COMMON_APPDATA");
        else
            qputenv("VEXARO_COMMON_APPDATA", previous);
    }
    void writeFile(const QByteArray& content) {
        QDir().mkpath(dir.path() + "/Norvale/Vexaro");
        QFile file(ConfigFile::path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray fileContent() {
        QFile file(ConfigFile::path());
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    }

    QTemporaryDir dir;
    QByteArray previous;
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

TEST_F(ConfigFileTest, UnwritableFolderIsLeftAloneSilently) {
    // A file where the folder should be: nothing can be created, and nothing throws or crashes.
    QFile blocker(dir.path() + "/Norvale");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ConfigFile::writeLanguageId(3);
    EXPECT_EQ(ConfigFile::readLanguageId(), -1);
}
