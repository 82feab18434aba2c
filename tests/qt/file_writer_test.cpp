#include "transfer/qt_file_writer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

namespace tunalyx {
namespace {

class FileWriterTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }
    static std::string contents(const std::string& p) {
        QFile f(QString::fromStdString(p));
        if (!f.open(QIODevice::ReadOnly)) return "(missing)";
        return f.readAll().toStdString();
    }
    static void put(const std::string& p, const std::string& text) {
        QFile f(QString::fromStdString(p));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }

    QTemporaryDir dir;
    QtFileWriter writer;
};

TEST_F(FileWriterTest, ReplacesTheFileKeepingItsModeAndLeavesOtherFilesAlone) {
    put(path("tune.dat"), "old");
    // Group and others are POSIX's: Windows has one set of rights for all.
#ifdef Q_OS_UNIX
    QFile::setPermissions(QString::fromStdString(path("tune.dat")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
#endif
    put(path("tune.dat.tmp"), "the user's own");
    ASSERT_EQ(writer.writeWhole(path("tune.dat"), "new contents"), "");
    EXPECT_EQ(contents(path("tune.dat")), "new contents");
#ifdef Q_OS_UNIX
    const auto ownerGroupOther = QFile::permissions(QString::fromStdString(path("tune.dat"))) &
                                 QFileDevice::Permissions(0x7077);
    EXPECT_EQ(ownerGroupOther, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
#endif
    EXPECT_EQ(contents(path("tune.dat.tmp")), "the user's own");
    EXPECT_EQ(entries(), (QStringList{"tune.dat", "tune.dat.tmp"}));
}

#ifdef Q_OS_UNIX
TEST_F(FileWriterTest, ALinkIsFollowedAndADeviceOrFolderIsRefused) {
    put(path("real.dat"), "old");
    ASSERT_TRUE(QFile::link(QString::fromStdString(path("real.dat")),
                            QString::fromStdString(path("link.dat"))));
    ASSERT_EQ(writer.writeWhole(path("link.dat"), "through the link"), "");
    EXPECT_EQ(contents(path("real.dat")), "through the link");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("link.dat"))).isSymLink());

    // A pipe stands in for a device: never a real one, which a broken check would replace.
    ASSERT_EQ(::mkfifo(path("pipe.dat").c_str(), 0600), 0);
    EXPECT_EQ(writer.writeWhole(path("pipe.dat"), "x"),
              "Cannot write " + path("pipe.dat") + ": not a regular file");
    EXPECT_FALSE(QFileInfo(QString::fromStdString(path("pipe.dat"))).isFile());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.dat")));
    EXPECT_NE(writer.writeWhole(path("folder.dat"), "x"), "");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("folder.dat"))).isDir());
    EXPECT_NE(writer.writeWhole(path("missing/tune.dat"), "x"), "");
}

// A disk that fills up while the new file is written: the old file stays byte for byte and no
// temporary file is left behind.
TEST_F(FileWriterTest, AFailureAfterTheTemporaryFileWasOpenedKeepsTheOldFile) {
    const std::string old(3000, 'o');
    put(path("tune.dat"), old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1000;  // writes beyond 1000 bytes fail as on a full disk
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = writer.writeWhole(path("tune.dat"), std::string(5000, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error.rfind("Cannot write " + path("tune.dat") + ": ", 0), 0u) << error;
    EXPECT_EQ(contents(path("tune.dat")), old);
    EXPECT_EQ(entries(), QStringList{"tune.dat"});
}
#endif

}  // namespace
}  // namespace tunalyx
