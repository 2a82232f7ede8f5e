// Reading a document whole and putting new content in its place through the scratch file
// beside it; plaintext held in memory for code that reads it by name.
#include "DocumentContent.h"
#include "File.h"
#include "MemoryFile.h"
#include "TestSupport.h"
#include "VbError.h"
#include "WinPath.h"

#include <sys/stat.h>
#include <unistd.h>

namespace varkel::platform {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

class DocumentContentTest : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share = mapNetworkDrive("Docs");
    }
    fs::path share;
};

TEST_F(DocumentContentTest, WhatIsReadAndWhatIsLeftToBeHandledByName) {
    writeBytes(share / "Docs" / "Report.DOC", "report");
    writeBytes(share / "Docs" / "big.bin", std::string(101, 'x'));
    fs::create_symlink(share / "Docs" / "Report.DOC", share / "Docs" / "link.doc");
    ::mkfifo((share / "Docs" / "pipe").c_str(), 0600);
    struct Case {
        const char* name;
        DocumentContent::Kind kind;
        std::string bytes;
    } cases[] = {
        {"N:\\Docs\\Report.DOC", DocumentContent::Kind::Read, "report"},
        {"n:\\docs\\report.doc", DocumentContent::Kind::Read, "report"},  // any letter case
        {"N:\\Docs\\gone.doc", DocumentContent::Kind::Missing, ""},
        {"N:\\Gone\\x.doc", DocumentContent::Kind::Missing, ""},
        {"N:\\Docs\\big.bin", DocumentContent::Kind::Other, ""},  // larger than asked for
        {"N:\\Docs\\link.doc", DocumentContent::Kind::Other, ""},
        {"N:\\Docs\\pipe", DocumentContent::Kind::Other, ""},  // not waited on
    };
    for (const Case& c : cases) {
        const DocumentContent document = readDocument(c.name, 100);
        EXPECT_EQ(document.kind, c.kind) << c.name;
        EXPECT_EQ(document.bytes, c.bytes) << c.name;
        // The scratch file is the one the name followed by the suffix reaches, as every other
        // step of a command (the next start's recovery among them) names it.
        EXPECT_EQ(document.scratch, hostPath(std::string(c.name) + kScratchSuffix)) << c.name;
    }
}

// The new content takes the document's place with the document's group and permission bits,
// through a scratch file that is complete before the rename.
TEST_F(DocumentContentTest, NewContentTakesThePlaceOfTheDocumentKeepingItsMode) {
    writeBytes(share / "Docs" / "a.doc", "old content");
    ::chmod((share / "Docs" / "a.doc").c_str(), 0640);
    writeBytes(share / "Docs" / ("a.doc" + std::string(kScratchSuffix)), "an unfinished copy that was longer");
    const DocumentContent document = readDocument("n:\\DOCS\\a.doc", 1 << 20);
    ASSERT_EQ(document.kind, DocumentContent::Kind::Read);
    const ScratchCopy copy = writeScratch(document, "new");
    EXPECT_EQ(readBytes(copy.host), "new");
    EXPECT_EQ(readBytes(share / "Docs" / "a.doc"), "old content");
    putInPlace(copy);
    EXPECT_EQ(readBytes(share / "Docs" / "a.doc"), "new");
    EXPECT_FALSE(fs::exists(copy.host));
    EXPECT_EQ(fs::status(share / "Docs" / "a.doc").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(DocumentContentTest, AScratchCopyIsNeverWrittenThroughALink) {
    writeBytes(share / "Docs" / "a.doc", "old");
    writeBytes(root() / "elsewhere", "keep");
    fs::create_symlink(root() / "elsewhere", share / "Docs" / ("a.doc" + std::string(kScratchSuffix)));
    const DocumentContent document = readDocument("N:\\Docs\\a.doc", 100);
    EXPECT_EQ(test::errorOf([&] { writeScratch(document, "new"); }), kPathFileAccess);
    EXPECT_EQ(readBytes(root() / "elsewhere"), "keep");
    removeScratch(document);  // a link is not the scratch copy: it stays
    EXPECT_TRUE(fs::is_symlink(share / "Docs" / ("a.doc" + std::string(kScratchSuffix))));
}

TEST(MemoryFileTest, HoldsPlaintextUnderANameThisProcessOpensAndNothingOnDisk) {
    auto memory = MemoryFile::create();
    ASSERT_TRUE(memory);
    memory->write("plain text");
    EXPECT_EQ(readBytes(hostPath(memory->name())), "plain text");
    File file(memory->name(), OpenMode::Input);
    EXPECT_EQ(file.length(), 10u);
    memory->write("short");  // replaces the content whole
    EXPECT_EQ(readBytes(hostPath(memory->name())), "short");
    memory->wipe();
    EXPECT_EQ(readBytes(hostPath(memory->name())), "");
    const fs::path host = hostPath(memory->name());
    memory.reset();
    EXPECT_FALSE(fs::exists(host));
}

}  // namespace
}  // namespace varkel::platform
