#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/program_folders.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

class ProgramFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("tunalyx-folders-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "usr" / "bin");
    }
    void TearDown() override { fs::remove_all(root); }
    static void touch(const fs::path& file) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "x";
    }

    fs::path root;
    const fs::path documents = "/home/someone/Documents";
};

TEST_F(ProgramFoldersTest, RunFromItsOwnFolderKeepsEverythingThere) {
    const fs::path folder = root / "usr" / "bin";
    touch(folder / "default.dat");
    touch(root / "usr" / "share" / "tunalyx" / "default.dat");  // the one beside it wins
    const ProgramFolders f = findProgramFolders(folder, documents, true);
    EXPECT_EQ(f.program, folder);
    EXPECT_EQ(f.files, folder);
    // Where program folders are for programs only, the files go to the documents all the same.
    const ProgramFolders windows = findProgramFolders(folder, documents, false);
    EXPECT_EQ(windows.program, folder);
    EXPECT_EQ(windows.files, documents / "Tunalyx");
}

TEST_F(ProgramFoldersTest, InstalledProgramReadsItsDataFolderAndWritesUnderDocuments) {
    touch(root / "usr" / "share" / "tunalyx" / "default.dat");
    const ProgramFolders f = findProgramFolders(root / "usr" / "bin", documents, true);
    EXPECT_EQ(f.program, root / "usr" / "share" / "tunalyx");
    EXPECT_EQ(f.files, documents / "Tunalyx");
}

TEST_F(ProgramFoldersTest, WithoutDefaultDatTheProgramFolderStaysWhereItIs) {
    const ProgramFolders f = findProgramFolders(root / "usr" / "bin", documents, true);
    EXPECT_EQ(f.program, root / "usr" / "bin");
    EXPECT_EQ(f.files, root / "usr" / "bin");
}

}  // namespace
}  // namespace tunalyx
