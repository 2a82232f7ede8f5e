// Links, special files and permission bits where files are opened, replaced and classified.
#include "File.h"
#include "TestSupport.h"
#include "VbError.h"

#include <sys/stat.h>

namespace varkel::platform {
namespace {

using test::errorOf;
using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

class LinksAndKinds : public test::ScratchFolder {};

mode_t modeOf(const char* file) {
    struct stat st {};
    EXPECT_EQ(::stat(file, &st), 0) << file;
    return static_cast<mode_t>(st.st_mode & 07777);
}

TEST_F(LinksAndKinds, AReplacedLinkStaysALinkAndItsTargetChanges) {
    fs::create_directory("real");
    writeBytes("real/doc.txt", "old");
    ASSERT_EQ(::chmod("real/doc.txt", 0640), 0);
    fs::create_symlink("real/doc.txt", "doc.txt");
    { File scratch("doc.new", OpenMode::Output, {.ownerOnly = true}); scratch.append("new"); }
    replaceKeepingAttributes("doc.new", "doc.txt");
    EXPECT_TRUE(fs::is_symlink("doc.txt"));
    EXPECT_EQ(readBytes("real/doc.txt"), "new");
    EXPECT_EQ(modeOf("real/doc.txt"), 0640u);
    fs::create_symlink("nowhere.txt", "dangling.txt");
    { File scratch("doc.new", OpenMode::Output, {.ownerOnly = true}); }
    EXPECT_EQ(errorOf([] { replaceKeepingAttributes("doc.new", "dangling.txt"); }), 75);
    EXPECT_FALSE(fs::exists("nowhere.txt"));
}

// Writing never goes through a link unless the caller asks for a document that may be one;
// reading always may. Special files are refused at once, never waited on.
TEST_F(LinksAndKinds, LinksAndSpecialFilesWhereAFileIsOpened) {
    writeBytes("target.bin", "target");
    fs::create_symlink("target.bin", "link.bin");
    fs::create_symlink("ghost.bin", "dangling.bin");
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    for (const OpenMode mode : {OpenMode::Output, OpenMode::Append, OpenMode::Random}) {
        EXPECT_EQ(errorOf([&] { File("link.bin", mode); }), 75);
        EXPECT_EQ(errorOf([&] { File("dangling.bin", mode); }), 75);
        EXPECT_EQ(errorOf([&] { File("dangling.bin", mode, {.followLinks = true}); }), 75);
        EXPECT_EQ(errorOf([&] { File("fifo", mode, {.followLinks = true}); }), 75);
        EXPECT_EQ(errorOf([&] { File("C:\\dev\\null", mode, {.followLinks = true}); }), 75);
    }
    EXPECT_FALSE(fs::exists("ghost.bin"));
    EXPECT_EQ(readBytes("target.bin"), "target");
    EXPECT_EQ(errorOf([] { File("fifo", OpenMode::Input); }), 75);
    EXPECT_EQ(errorOf([] { TextReader{"fifo"}; }), 75);
    EXPECT_EQ(File("link.bin", OpenMode::Input).length(), 6u);
    {
        File through("link.bin", OpenMode::Random, {.followLinks = true});
        through.writeAt(0, "T");
    }
    EXPECT_EQ(readBytes("target.bin"), "Target");
    EXPECT_TRUE(fs::is_symlink("link.bin"));
    { File created("new.bin", OpenMode::Random, {.followLinks = true}); }
    EXPECT_TRUE(fs::is_regular_file("new.bin"));
}

TEST_F(LinksAndKinds, AnExistingOwnerOnlyFileLosesOthersAccessBeforeItIsWritten) {
    for (const OpenMode mode : {OpenMode::Output, OpenMode::Append, OpenMode::Random}) {
        writeBytes("key.bin", "k");
        ASSERT_EQ(::chmod("key.bin", 0664), 0);
        { File f("key.bin", mode, {.ownerOnly = true}); }
        EXPECT_EQ(modeOf("key.bin"), 0600u);
    }
    ASSERT_EQ(::chmod("key.bin", 0644), 0);
    { File f("key.bin", OpenMode::Input, {.ownerOnly = true}); }
    { File f("key.bin", OpenMode::Random, {.ownerOnly = true, .followLinks = true}); }
    EXPECT_EQ(modeOf("key.bin"), 0644u);  // read, or a document that keeps its mode
}

TEST_F(LinksAndKinds, KindsOfNames) {
    writeBytes("file", "f");
    fs::create_directory("folder");
    fs::create_symlink("file", "link");
    fs::create_symlink("folder", "folder-link");
    fs::create_symlink("none", "dangling");
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    const std::pair<const char*, FileKind> cases[] = {
        {"missing", FileKind::Missing},  {"file", FileKind::Regular}, {"FILE", FileKind::Regular},
        {"link", FileKind::LinkToRegular}, {"folder", FileKind::Other}, {"folder-link", FileKind::Other},
        {"dangling", FileKind::Other},   {"fifo", FileKind::Other},   {"C:\\dev\\null", FileKind::Other},
    };
    for (const auto& [name, kind] : cases) EXPECT_EQ(fileKind(name), kind) << name;
}


}  // namespace
}  // namespace varkel::platform
