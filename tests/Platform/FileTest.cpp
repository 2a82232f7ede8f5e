#include "File.h"
#include "TestSupport.h"
#include "VbError.h"

#include <sys/stat.h>

#include <functional>

namespace varkel::platform {
namespace {

using test::errorOf;
using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

class Files : public test::ScratchFolder {};

TEST_F(Files, RecordsArePaddedOrCutAndMissingFilesAreCreatedEmpty) {
    RecordFile f("data.bin", 4);
    EXPECT_EQ(f.length(), 0u);
    f.put(2, "ab");
    f.put(1, "abcdef");
    EXPECT_EQ(f.get(2), "ab  ");
    EXPECT_EQ(f.get(3), "");
    f.close();
    EXPECT_EQ(readBytes("data.bin"), "abcdab  ");
}

// Many records in one read or one write give what one record at a time gives.
TEST_F(Files, RecordsReadAndWrittenTogetherAreTheSameAsOneByOne) {
    RecordFile f("data.bin", 4);
    f.putRecords(2, {"ab", "abcdef", ""});
    f.put(1, "xy");
    EXPECT_EQ(readBytes("data.bin"), "xy  ab  abcd    ");
    EXPECT_EQ(f.getRecords(2, 5), (std::vector<std::string>{"ab  ", "abcd", "    ", "", ""}));
    f.file().truncate(13);
    EXPECT_EQ(f.getRecords(3, 2), (std::vector<std::string>{"abcd", " "}));  // the last one short
}

TEST_F(Files, OwnerOnlyFilesAreCreatedWithMode0600) {
    { File f("secret.bin", OpenMode::Output, {.ownerOnly = true}); }
    struct stat st {};
    ASSERT_EQ(::stat("secret.bin", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Files, FailuresCarryTheLegacyNumbers) {
    EXPECT_EQ(errorOf([] { File("missing.txt", OpenMode::Input); }), 53);
    EXPECT_EQ(errorOf([] { File("no\\such\\folder\\x.txt", OpenMode::Output); }), 76);
    EXPECT_EQ(errorOf([] { File("", OpenMode::Output); }), 52);
    fs::create_directory("folder");
    EXPECT_EQ(errorOf([] { File("folder", OpenMode::Random); }), 75);
    EXPECT_EQ(errorOf([] { deleteFile("missing.txt"); }), 53);
    EXPECT_EQ(errorOf([] { TextReader("missing.txt"); }), 53);
}

// A NUL would end the name the host sees: "a\0b" must not reach the file "a".
TEST_F(Files, NameWithNulIsBadFileNameForEveryOperation) {
    const std::string bad("a\0b", 3);
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"open input", [&] { File(bad, OpenMode::Input); }},
        {"open output", [&] { File(bad, OpenMode::Output); }},
        {"open append", [&] { File(bad, OpenMode::Append); }},
        {"open random", [&] { File(bad, OpenMode::Random); }},
        {"record file", [&] { RecordFile(bad, 10); }},
        {"text reader", [&] { TextReader{bad}; }},
        {"text writer", [&] { TextWriter(bad, OpenMode::Output); }},
        {"exists", [&] { fileExists(bad); }},
        {"folder exists", [&] { folderExists(bad); }},
        {"delete", [&] { deleteFile(bad); }},
        {"copy from", [&] { copyFile(bad, "c"); }},
        {"copy to", [&] { copyFile("a", bad); }},
        {"rename from", [&] { renameFile(bad, "c"); }},
        {"rename to", [&] { renameFile("a", bad); }},
        {"replace from", [&] { replaceFile(bad, "c"); }},
        {"replace to", [&] { replaceFile("a", bad); }},
        {"length", [&] { fileLength(bad); }},
        {"exclusive create", [&] { createExclusive(bad, "x"); }},
        {"same file", [&] { sameFile(bad, "a"); }},
        {"list", [&] { listFiles(bad); }},
        {"folder of", [&] { syncFolderOf(std::string("sub\0x", 5) + "\\f"); }},
    };
    for (const auto& [name, operation] : operations) {
        writeBytes("a", "keep me");
        EXPECT_EQ(errorOf(operation), 52) << name;
        EXPECT_EQ(readBytes("a"), "keep me") << name;
        EXPECT_FALSE(fs::exists("c")) << name;
        EXPECT_FALSE(fs::exists("a.tmp")) << name;
    }
}

TEST_F(Files, TextFieldsFollowTheCommaSeparatedRules) {
    writeBytes("list.txt", "  first,\"N:\\a, b.doc\"\r\nplain line\r\n\"quoted\" tail\n");
    TextReader in("list.txt");
    EXPECT_EQ(in.inputField(), "first");
    EXPECT_EQ(in.inputField(), "N:\\a, b.doc");
    EXPECT_EQ(in.inputField(), "plain line");
    EXPECT_EQ(in.inputField(), "quoted");
    EXPECT_TRUE(in.eof());
    EXPECT_EQ(errorOf([&] { in.inputField(); }), 62);
}

TEST_F(Files, WholeLinesAndNumbers) {
    writeBytes("lines.txt", "a, b\r\n\r\nlast");
    TextReader lines("lines.txt");
    EXPECT_EQ(lines.lineInput(), "a, b");
    EXPECT_EQ(lines.lineInput(), "");
    EXPECT_EQ(lines.lineInput(), "last");
    EXPECT_TRUE(lines.eof());

    writeBytes("numbers.txt", " 20  2\r\nxxxxx\r\n7\r\n");
    TextReader numbers("numbers.txt");
    EXPECT_EQ(numbers.inputNumber(), 20);
    EXPECT_EQ(numbers.inputNumber(), 2);
    EXPECT_EQ(numbers.inputNumber(), 0);
    EXPECT_EQ(numbers.inputNumber(), 7);
    EXPECT_EQ(errorOf([&] { numbers.inputNumber(); }), 62);
}

TEST_F(Files, LinesEndInCarriageReturnAndLineFeed) {
    TextWriter out("out.txt", OpenMode::Output);
    out.printLine("one");
    out.printLine("");
    out.close();
    TextWriter more("out.txt", OpenMode::Append);
    more.printLine("two");
    more.close();
    EXPECT_EQ(readBytes("out.txt"), "one\r\n\r\ntwo\r\n");
}

TEST_F(Files, CopyRenameAndListing) {
    writeBytes("a.txt", "alpha");
    writeBytes(".hidden", "h");
    fs::create_directory("Sub");
    copyFile("a.txt", "B.txt");
    EXPECT_EQ(readBytes("B.txt"), "alpha");
    EXPECT_EQ(errorOf([] { renameFile("a.txt", "b.TXT"); }), 75);  // the target exists
    replaceFile("a.txt", "b.txt");
    EXPECT_FALSE(fs::exists("a.txt"));
    EXPECT_EQ(listFiles("."), std::vector<std::string>{"B.txt"});
    EXPECT_EQ(listFolders("."), std::vector<std::string>{"Sub"});
}

TEST_F(Files, AnExclusiveCreateSucceedsOnlyForTheFirstCaller) {
    EXPECT_TRUE(createExclusive("Guard.lck", "first"));
    EXPECT_FALSE(createExclusive("guard.LCK", "second"));
    EXPECT_EQ(readBytes("Guard.lck"), "first");
}


// A file replacing a document of a shared folder: the people who could open the document can
// open its replacement.
struct Attributes {
    mode_t mode;
    gid_t group;
};

Attributes attributesOf(const char* file) {
    struct stat st {};
    EXPECT_EQ(::stat(file, &st), 0) << file;
    return {static_cast<mode_t>(st.st_mode & 07777), st.st_gid};
}

// Only root may give a file to any group; other users test the mode alone.
gid_t otherGroup() { return ::geteuid() == 0 ? ::getegid() + 4242 : ::getegid(); }

TEST_F(Files, AReplacedFileKeepsTheGroupAndModeOfTheFileItReplaces) {
    writeBytes("doc.txt", "old");
    ASSERT_EQ(::chown("doc.txt", static_cast<uid_t>(-1), otherGroup()), 0);
    ASSERT_EQ(::chmod("doc.txt", 0640), 0);
    { File scratch("doc.new", OpenMode::Output, {.ownerOnly = true}); scratch.append("new"); }
    replaceKeepingAttributes("doc.new", "DOC.TXT");
    EXPECT_EQ(readBytes("doc.txt"), "new");
    EXPECT_FALSE(fs::exists("doc.new"));
    const Attributes after = attributesOf("doc.txt");
    EXPECT_EQ(after.mode, 0640u);
    EXPECT_EQ(after.group, otherGroup());
}

TEST_F(Files, ANewFileGetsItsFoldersGroupAndNoAccessForOthers) {
    fs::create_directory("shared");
    ASSERT_EQ(::chown("shared", static_cast<uid_t>(-1), otherGroup()), 0);
    { File scratch("doc.new", OpenMode::Output, {.ownerOnly = true}); }
    replaceKeepingAttributes("doc.new", "shared\\doc.txt");
    const Attributes after = attributesOf("shared/doc.txt");
    EXPECT_EQ(after.mode, 0660u);
    EXPECT_EQ(after.group, otherGroup());
}

TEST_F(Files, AttributesAreNeverGivenThroughALink) {
    writeBytes("doc.txt", "d");
    ASSERT_EQ(::chmod("doc.txt", 0644), 0);
    writeBytes("target.txt", "t");
    ASSERT_EQ(::chmod("target.txt", 0600), 0);
    fs::create_symlink("target.txt", "link.new");
    EXPECT_EQ(errorOf([] { replaceKeepingAttributes("link.new", "doc.txt"); }), 75);
    EXPECT_EQ(attributesOf("target.txt").mode, 0600u);
    EXPECT_EQ(readBytes("doc.txt"), "d");
}

// Text is read to the end of the file, however its length falls against the read buffer.
TEST_F(Files, TextIsReadToTheEndOfTheFile) {
    for (size_t size : {0, 1, 4094, 4095, 4096, 4097, 8192, 9001}) {
        SCOPED_TRACE(size);
        std::string text(size, 'x');
        if (size > 0) text.back() = 'z';
        writeBytes("list.dat", text);
        TextReader in("list.dat");
        EXPECT_EQ(size == 0 ? std::string() : in.lineInput(), text);
        EXPECT_TRUE(in.eof());
        EXPECT_EQ(File("list.dat", OpenMode::Input).holdsData(), size > 0);
    }
}

// Only an ordinary file (or a link to one) is present; nothing else is opened into a hang.
TEST_F(Files, OnlyAnOrdinaryFileExists) {
    writeBytes("plain.dat", "x");
    fs::create_directory("folder");
    fs::create_symlink("plain.dat", "link.dat");
    fs::create_symlink("gone.dat", "broken.dat");
    ASSERT_EQ(::mkfifo("pipe.dat", 0600), 0);
    const std::pair<const char*, bool> cases[] = {{"plain.dat", true},   {"PLAIN.DAT", true}, {"link.dat", true},
                                                  {"missing.dat", false}, {"folder", false},   {"broken.dat", false},
                                                  {"pipe.dat", false},    {"missing\\x.dat", false}};
    for (const auto& [name, exists] : cases) EXPECT_EQ(fileExists(name), exists) << name;
}

// An exclusive create is false only where something of that name is there; otherwise its
// failure is an error.
TEST_F(Files, AnExclusiveCreateThatCannotCreateIsAnError) {
    fs::create_directory("taken");
    EXPECT_FALSE(createExclusive("taken", "x"));
    EXPECT_EQ(errorOf([] { createExclusive("missing\\Guard.lck", "x"); }), kPathNotFound);
}

}  // namespace
}  // namespace varkel::platform
