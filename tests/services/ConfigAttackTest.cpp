// The configuration files as another user on the machine could leave them: a link, a FIFO, a
// huge file or a file of their own. Run as root, the planted entries belong to another account.
#include "services/ConfigFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t otherUser = 54321;

class ConfigAttackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(common.isValid() && home.isValid() && elsewhere.isValid());
        previousCommon = qgetenv("VEXARO_COMMON_APPDATA");
        previousHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("VEXARO_COMMON_APPDATA", QFile::encodeName(common.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        folder = QFileInfo(ConfigFile::path()).absolutePath();
        ASSERT_TRUE(QDir().mkpath(folder));
        // The shared folder as the old package made it: everyone may add entries.
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
    }
    void TearDown() override {
        for (const auto& [name, value] : {std::make_pair("VEXARO_COMMON_APPDATA", previousCommon),
                                          std::make_pair("XDG_CONFIG_HOME", previousHome)}) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    // Hands a planted entry to the other account where this test may (as root).
    static void belongsToAnotherUser(const QString& path) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), otherUser, otherUser), 0);
        }
    }
    static QByteArray contentOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeAt(const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QTemporaryDir common, home, elsewhere;
    QString folder;
    QByteArray previousCommon, previousHome;
};

} // namespace

// A link planted as config.ini is neither read nor written through: the file it names keeps its
// content, and the choice is kept in the user's own file.
TEST_F(ConfigAttackTest, LinkInTheSharedFolderIsNeverWrittenThrough) {
    const QString victim = elsewhere.filePath("precious");
    writeAt(victim, "[Configuration]\nLanguageID=3\nkeep me\n");
    ASSERT_TRUE(QFile::link(victim, ConfigFile::path()));
    belongsToAnotherUser(ConfigFile::path());
    EXPECT_EQ(ConfigFile::readLanguageId(), -1);
    ConfigFile::writeLanguageId(8);
    EXPECT_EQ(contentOf(victim), QByteArray("[Configuration]\nLanguageID=3\nkeep me\n"));
    EXPECT_TRUE(QFileInfo(ConfigFile::path()).isSymLink());
    EXPECT_EQ(ConfigFile::readLanguageId(), 9);
    EXPECT_TRUE(contentOf(ConfigFile::userPath()).contains("LanguageID=9"));
}

// A FIFO planted as config.ini (or as the user's file) never blocks: reading returns at once and
// the choice is saved elsewhere; the FIFO is left alone.
TEST_F(ConfigAttackTest, FifoInPlaceOfTheFileDoesNotBlock) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(ConfigFile::path()).constData(), 0666), 0);
    belongsToAnotherUser(ConfigFile::path());
    EXPECT_EQ(ConfigFile::readLanguageId(), -1);
    ConfigFile::writeLanguageId(2);
    EXPECT_EQ(ConfigFile::readLanguageId(), 3);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(ConfigFile::path()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    QFile::remove(ConfigFile::userPath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(ConfigFile::userPath()).constData(), 0600), 0);
    EXPECT_EQ(ConfigFile::readLanguageId(), -1);
}

// Another user's shared file is everyone's default only until this user chooses; a file far larger
// than any the program writes is not read at all.
TEST_F(ConfigAttackTest, AnotherUsersFileDoesNotOverrideTheUsersChoiceNorTakeMemory) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can hand a file to another account";
    writeAt(ConfigFile::path(), "[Configuration]\nLanguageID=5\n");
    belongsToAnotherUser(ConfigFile::path());
    EXPECT_EQ(ConfigFile::readLanguageId(), 5); // the default every account sees
    ConfigFile::writeLanguageId(11);
    EXPECT_EQ(contentOf(ConfigFile::path()), QByteArray("[Configuration]\nLanguageID=5\n"));
    EXPECT_EQ(ConfigFile::readLanguageId(), 12);

    QFile::remove(ConfigFile::userPath());
    QFile::remove(ConfigFile::path());
    {
        QFile huge(ConfigFile::path());
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.write("[Configuration]\nLanguageID=4\n") > 0);
        ASSERT_TRUE(huge.resize(qint64(1) << 30)); // sparse: 1 GiB without the disk space
    }
    belongsToAnotherUser(ConfigFile::path());
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(ConfigFile::readLanguageId(), -1);
    ConfigFile::writeLanguageId(6);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 400 * 1024); // kB
    EXPECT_EQ(QFileInfo(ConfigFile::path()).size(), qint64(1) << 30);
    EXPECT_EQ(ConfigFile::readLanguageId(), 7);
}

// A run that leaves the choice as it was writes nothing, so an exit never touches the files.
TEST_F(ConfigAttackTest, UnchangedChoiceWritesNothing) {
    ConfigFile::writeLanguageId(4);
    ASSERT_EQ(ConfigFile::readLanguageId(), 5);
    struct stat first {};
    ASSERT_EQ(::stat(QFile::encodeName(ConfigFile::path()).constData(), &first), 0);
    ConfigFile::writeLanguageId(4);
    struct stat second {};
    ASSERT_EQ(::stat(QFile::encodeName(ConfigFile::path()).constData(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino); // a save would have renamed a new file into place
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 1);
}
