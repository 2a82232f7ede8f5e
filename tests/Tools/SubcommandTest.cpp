// The friendly vrk subcommands as separate processes, the way people run them from a shell.
#include "ChildProcess.h"
#include "KeyFiles.h"
#include "TestSupport.h"

namespace varkel {
namespace {

namespace fs = std::filesystem;
using test::randomBytes;
using test::readBytes;
using test::writeBytes;

using test::Outcome;
Outcome run(const std::string& args) { return test::runVrk(args); }

using test::leftKeyFiles;

class VrkSubcommand : public test::ScratchFolder {};

TEST_F(VrkSubcommand, EncryptAndDecryptSeveralFilesInPlace) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.bin", randomBytes(1, 1)},
        {"report one.doc", randomBytes(999, 2)},
        {"c.dat", randomBytes(2500, 3)},
        {"empty", ""},
    };
    for (const auto& [name, bytes] : files) writeBytes(name, bytes);

    const Outcome enc = run("encrypt --key 3141592 a.bin 'report one.doc' c.dat empty");
    ASSERT_EQ(enc.status, 0) << enc.err;
    EXPECT_EQ(enc.out, "");
    EXPECT_EQ(enc.err, "");
    for (const auto& [name, bytes] : files) {
        const std::string cipher = readBytes(name);
        EXPECT_EQ(cipher.size(), bytes.size()) << name;
        if (bytes.size() > 1) {
            EXPECT_NE(cipher, bytes) << name;
        }
    }
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});

    const Outcome dec = run("decrypt --key 3141592 a.bin 'report one.doc' c.dat empty");
    ASSERT_EQ(dec.status, 0) << dec.err;
    for (const auto& [name, bytes] : files) EXPECT_EQ(readBytes(name), bytes) << name;
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});
}

TEST_F(VrkSubcommand, EncryptToANewFileLeavesTheInputAndTakesTheKeyFromAKeyFile) {
    const std::string plain = randomBytes(3500, 4);
    writeBytes("plain doc.bin", plain);
    writeBytes("key.dat", "271828\r\n999\r\n");
    fs::create_directory("out dir");

    const Outcome enc = run("encrypt --key-file key.dat 'plain doc.bin' -o 'out dir/secret copy.bin'");
    ASSERT_EQ(enc.status, 0) << enc.err;
    EXPECT_EQ(readBytes("plain doc.bin"), plain);
    const std::string cipher = readBytes("out dir/secret copy.bin");
    EXPECT_EQ(cipher.size(), plain.size());
    EXPECT_NE(cipher, plain);

    // The same key given directly gives the same bytes; another key does not undo them.
    ASSERT_EQ(run("decrypt --key 271828 'out dir/secret copy.bin' -o back.bin").status, 0);
    EXPECT_EQ(readBytes("back.bin"), plain);
    ASSERT_EQ(run("decrypt --key 271829 'out dir/secret copy.bin' -o wrong.bin").status, 0);
    EXPECT_NE(readBytes("wrong.bin"), plain);
    EXPECT_EQ(readBytes("wrong.bin").size(), plain.size());

    // An existing output is kept unless --force.
    const Outcome again = run("encrypt --key 1 'plain doc.bin' -o back.bin");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "vrk: back.bin: already exists (use --force to replace it)\n");
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(readBytes("back.bin"), plain);
    EXPECT_EQ(run("encrypt --force --key 271828 'plain doc.bin' -o back.bin").status, 0);
    EXPECT_EQ(readBytes("back.bin"), cipher);
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});
}

TEST_F(VrkSubcommand, UsageErrorsTouchNothing) {
    writeBytes("a.bin", "plain");
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"encrypt a.bin", "vrk encrypt: a key is needed"},
        {"decrypt --key 1 --key-file key.dat a.bin", "either --key or --key-file"},
        {"encrypt --key 12x4 a.bin", "decimal digits"},
        {"encrypt --key 1", "no file given"},
        {"encrypt --key 1 a.bin a.bin -o b", "-o takes exactly one FILE"},
        {"encrypt --key 1 --text a.bin", "unknown option '--text'"},
        {"text-encrypt --key 1 -o x a.bin", "unknown option '-o'"},
        {"expand-encrypt --key 1 a.bin b c", "give FILE and optionally OUT"},
        {"scramble 0:5 a.bin", "BLOCKS must be at least 1"},
        {"scramble 2:0 a.bin", "SIZE must be at least 1"},
        {"scramble 2 a.bin", "BLOCKS:SIZE"},
        {"scramble -1:5 a.bin", "unknown option"},
        {"wipe", "no file given"},
        {"shutdown now", "takes no arguments"},
        {"encrypt --key", "--key needs a value"},
    };
    for (const auto& c : cases) {
        const Outcome o = run(c.args);
        EXPECT_EQ(o.status, 2) << c.args;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << c.args << ": " << o.err;
        EXPECT_NE(o.err.find("usage: vrk "), std::string::npos) << c.args << ": " << o.err;
        EXPECT_EQ(o.out, "") << c.args;
    }
    EXPECT_EQ(readBytes("a.bin"), "plain");
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});
}

TEST_F(VrkSubcommand, AFileThatCannotBeWorkedOnIsNamedAndTheOthersAreDone) {
    const std::string plain = randomBytes(1200, 5);
    writeBytes("good.bin", plain);
    writeBytes("plain.txt", "not a folder");
    fs::create_directory("folder");
    struct Case {
        std::string args;
        std::string line;
    };
    std::vector<Case> cases = {
        {"missing.doc", "vrk: missing.doc: File not found (error 53)\n"},
        {"nowhere/a.doc", "vrk: nowhere/a.doc: Path not found (error 76)\n"},
        {"plain.txt/inner.doc", "vrk: plain.txt/inner.doc: Path not found (error 76)\n"},
        {"folder", "vrk: folder: is a folder, not a file\n"},
    };
    if (::geteuid() != 0) {  // the owner of every file may read it anyway
        writeBytes("locked.doc", "secret");
        fs::permissions("locked.doc", fs::perms::none);
        cases.push_back({"locked.doc", "vrk: locked.doc: Permission denied (error 70)\n"});
    }
    for (const auto& c : cases) {
        const std::string before = readBytes("good.bin");
        const Outcome o = run("encrypt --key 55 good.bin " + c.args);
        EXPECT_EQ(o.status, 1) << c.args;
        EXPECT_EQ(o.err, c.line) << c.args;
        EXPECT_EQ(o.out, "") << c.args;
        EXPECT_NE(readBytes("good.bin"), before) << c.args;
        EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{}) << c.args;
    }
    // The library would have made an empty file of a missing name.
    EXPECT_FALSE(fs::exists("missing.doc"));

    const Outcome noKeyFile = run("decrypt --key-file nokey.dat good.bin");
    EXPECT_EQ(noKeyFile.status, 1);
    EXPECT_EQ(noKeyFile.err, "vrk: nokey.dat: File not found (error 53)\n");
}

TEST_F(VrkSubcommand, KeptKeysStayUntilShutdown) {
    writeBytes("a.bin", "abc");
    ASSERT_EQ(run("encrypt --keep-keys --key 9 a.bin").status, 0);
    EXPECT_TRUE(fs::exists("k1.bin"));
    EXPECT_TRUE(fs::exists("k6.dat"));
    const Outcome o = run("shutdown");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});
}

TEST_F(VrkSubcommand, TextFilesRoundTripBesideTheirInput) {
    fs::create_directory("notes");
    const std::string text = "First line\r\nSecond line, with ~ and \xE9\r\n";
    writeBytes("notes/letter.txt", text + "\x01");

    const Outcome enc = run("text-encrypt --key 1618 notes/letter.txt");
    ASSERT_EQ(enc.status, 0) << enc.err;
    EXPECT_EQ(enc.out, "notes/letter.txt -> notes/letter.enc\n");
    EXPECT_EQ(enc.err, "vrk: notes/letter.txt: dropped 1 character(s) outside the text alphabet\n");
    EXPECT_NE(readBytes("notes/letter.enc"), text);

    const Outcome dec = run("text-decrypt --key 1618 notes/letter.enc");
    ASSERT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(dec.out, "notes/letter.enc -> notes/letter.dec\n");
    EXPECT_EQ(dec.err, "");
    EXPECT_EQ(readBytes("notes/letter.dec"), text);

    // The output name is cut at the first dot, which must not lie in a folder name; an existing
    // output is kept.
    fs::create_directory("v1.2");
    writeBytes("v1.2/a.txt", "x");
    const struct {
        const char* args;
        const char* message;
    } refusals[] = {
        {"text-encrypt --key 1 v1.2/a.txt", "dot in a folder name"},
        {"text-encrypt --key 1 notes/letter.txt", "notes/letter.enc: already exists"},
        {"text-decrypt --key 1 notes/letter.dec", "its output would have its own name"},
    };
    for (const auto& r : refusals) {
        const Outcome o = run(r.args);
        EXPECT_EQ(o.status, 1) << r.args;
        EXPECT_NE(o.err.find(r.message), std::string::npos) << r.args << ": " << o.err;
        EXPECT_EQ(o.out, "") << r.args;
    }
    EXPECT_FALSE(fs::exists("v1.enc"));
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});
}

TEST_F(VrkSubcommand, WipeDeletesTheFilesItIsGiven) {
    writeBytes("old 1.doc", randomBytes(2500, 6));
    writeBytes("old2.doc", "x");
    const Outcome o = run("wipe 'old 1.doc' old2.doc");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out + o.err, "");
    EXPECT_FALSE(fs::exists("old 1.doc"));
    EXPECT_FALSE(fs::exists("old2.doc"));

    const Outcome missing = run("wipe old2.doc");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "vrk: old2.doc: File not found (error 53)\n");
    EXPECT_FALSE(fs::exists("old2.doc"));
}

TEST_F(VrkSubcommand, ExpandedFilesRoundTrip) {
    const std::string plain = randomBytes(2100, 7);
    writeBytes("a b.bin", plain);

    ASSERT_EQ(run("expand-encrypt --key 8080 'a b.bin' 'x y.exp'").status, 0);
    EXPECT_EQ(readBytes("a b.bin"), plain);
    EXPECT_GT(readBytes("x y.exp").size(), plain.size());
    const Outcome dec = run("expand-decrypt --key 8080 'x y.exp' back.bin");
    ASSERT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(readBytes("back.bin"), plain);

    // Without OUT the file itself is replaced.
    ASSERT_EQ(run("expand-encrypt --key 8080 'a b.bin'").status, 0);
    EXPECT_EQ(readBytes("a b.bin"), readBytes("x y.exp"));
    ASSERT_EQ(run("expand-decrypt --key 8080 'a b.bin'").status, 0);
    EXPECT_EQ(readBytes("a b.bin"), plain);

    writeBytes("t.txt", "Some text\r\nmore\r\n");
    ASSERT_EQ(run("expand-encrypt --text --key 8080 t.txt t.exp").status, 0);
    ASSERT_EQ(run("expand-decrypt --text --key 8080 t.exp t.back").status, 0);
    EXPECT_EQ(readBytes("t.back"), "Some text\r\nmore\r\n");

    EXPECT_FALSE(fs::exists("expand.dat"));
    EXPECT_FALSE(fs::exists("conv.enc"));
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});
}

TEST_F(VrkSubcommand, ScramblesUndoThemselves) {
    const std::string plain = randomBytes(25, 8);
    writeBytes("f.bin", plain);

    ASSERT_EQ(run("scramble 2:10 f.bin").status, 0);
    std::string expected = plain;
    std::reverse(expected.begin(), expected.begin() + 10);
    std::reverse(expected.begin() + 10, expected.begin() + 20);
    EXPECT_EQ(readBytes("f.bin"), expected);
    ASSERT_EQ(run("scramble 2:10 f.bin").status, 0);
    EXPECT_EQ(readBytes("f.bin"), plain);

    ASSERT_EQ(run("scramble 1:0 f.bin").status, 0);
    EXPECT_EQ(readBytes("f.bin"), std::string(plain.rbegin(), plain.rend()));
    ASSERT_EQ(run("scramble 1:0 f.bin").status, 0);

    const Outcome tooMany = run("scramble 3:10 f.bin");
    EXPECT_EQ(tooMany.status, 1);
    EXPECT_EQ(tooMany.err, "vrk: f.bin: Error - Number of Blocks/BlockSize exceeds Filesize\n");
    EXPECT_EQ(readBytes("f.bin"), plain);

    const std::string big = randomBytes(3000, 9);
    writeBytes("g.bin", big);
    ASSERT_EQ(run("xscramble --key 4711 g.bin g.out").status, 0);
    EXPECT_EQ(readBytes("g.bin"), big);
    EXPECT_NE(readBytes("g.out"), big);
    ASSERT_EQ(run("xscramble --key 4711 g.bin").status, 0);
    EXPECT_EQ(readBytes("g.bin"), readBytes("g.out"));
    ASSERT_EQ(run("xscramble --key 4711 g.bin").status, 0);
    EXPECT_EQ(readBytes("g.bin"), big);
    EXPECT_EQ(leftKeyFiles(), std::vector<std::string>{});
}

TEST_F(VrkSubcommand, EveryCommandHasHelp) {
    const Outcome all = run("--help");
    EXPECT_EQ(all.status, 0);
    for (const char* name : {"encrypt", "decrypt", "text-encrypt", "text-decrypt", "expand-encrypt", "expand-decrypt",
                             "scramble", "xscramble", "wipe", "shutdown"}) {
        const Outcome o = run(std::string(name) + " --help");
        EXPECT_EQ(o.status, 0) << name;
        EXPECT_EQ(o.err, "") << name;
        const std::string usage = std::string("usage: vrk ") + name;
        EXPECT_TRUE(o.out.rfind(usage + " ", 0) == 0 || o.out.rfind(usage + "\n", 0) == 0) << o.out;
        EXPECT_NE(all.out.find(std::string("  ") + name + ' '), std::string::npos) << name;
    }
    EXPECT_NE(run("encrypt --help").out.find("written into the current folder"), std::string::npos);
}

}  // namespace
}  // namespace varkel
