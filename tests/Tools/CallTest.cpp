// `vrk call` as a separate process, exactly as scripts use it.
#include "ChildProcess.h"
#include "TestSupport.h"

#include <sstream>

namespace varkel {
namespace {

using test::Outcome;
Outcome run(const std::string& args) { return test::runVrk(args); }

class VrkCall : public test::ScratchFolder {};

TEST_F(VrkCall, PrintsOneLinePerOperationAndKeepsStateBetweenThem) {
    const Outcome o = run("call VrkGenBinaryKeys 12345 MasterShift VrkBEnc 'hello world'");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    std::istringstream lines(o.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "VrkGenBinaryKeys 0 123451234512345123");
    std::getline(lines, line);
    EXPECT_EQ(line, "MasterShift 0 -");
    std::getline(lines, line);
    EXPECT_EQ(line.substr(0, 10), "VrkBEnc 0 ");
}

TEST_F(VrkCall, HexadecimalArgumentsRoundTrip) {
    const Outcome enc = run("call --hex VrkGenBinaryKeys 3939 VrkBEnc 00ff0d0a41");
    ASSERT_EQ(enc.status, 0) << enc.out;
    const std::string cipher = enc.out.substr(enc.out.rfind(' ') + 1, 10);
    const Outcome dec = run("call --hex VrkGenBinaryKeys 3939 VrkBDec " + cipher);
    EXPECT_NE(dec.out.find("VrkBDec 0 00ff0d0a41\n"), std::string::npos) << dec.out;
}

TEST_F(VrkCall, StopsAtTheFirstFailure) {
    const Outcome o = run("call VrkGenBinaryKeys 12a VrkBEnc x");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "VrkGenBinaryKeys 5 12a\n");
    EXPECT_EQ(o.err, "");
}

TEST_F(VrkCall, EmptyStringIsWrittenAsTwoQuotes) {
    const Outcome o = run("call VrkGenBinaryKeys 5 VrkBEnc '\"\"' VrkBEnc ''");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("VrkBEnc 0 \"\"\nVrkBEnc 0 \"\"\n"), std::string::npos) << o.out;
}

TEST_F(VrkCall, UsageErrorsRunNothing) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"call VrkGenBinaryKeys 123 NoSuchOp", "unknown operation 'NoSuchOp'"},
        {"call VrkGenBinaryKeys", "VrkGenBinaryKeys needs a string argument"},
        {"call --hex VrkBEnc 4", "is not hexadecimal"},
        {"call", "usage"},
    };
    for (const auto& c : cases) {
        const Outcome o = run(c.args);
        EXPECT_EQ(o.status, 2) << c.args;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "") << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists("k1.bin"));
}

}  // namespace
}  // namespace varkel
