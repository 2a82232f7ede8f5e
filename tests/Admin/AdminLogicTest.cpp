// The console's logic without windows: keys and the pickers' browsing.
#include "Console.h"
#include "KeyGeneration.h"
#include "Library.h"
#include "SecureRandom.h"
#include "TestSupport.h"
#include "VarkelSDK.h"
#include "VbError.h"
#include "WinPath.h"

#include <algorithm>
#include <map>

namespace varkel::admin {
namespace {

using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

// Bytes handed out in order, as a random source would.
RandomBytes fixedBytes(std::vector<uint8_t> bytes) {
    auto next = std::make_shared<size_t>(0);
    return [bytes = std::move(bytes), next](uint8_t* data, size_t size) {
        for (size_t i = 0; i < size; ++i) data[i] = bytes[(*next)++ % bytes.size()];
    };
}

TEST(KeyDigits, BytesOfTwoHundredFiftyTwoAndAboveAreDrawnAgain) {
    DigitSource source(fixedBytes({255, 252, 0, 8, 9, 251, 253, 17}));
    std::string digits;
    for (int i = 0; i < 5; ++i) digits += source.next();
    EXPECT_EQ(digits, "19199");  // 0->1, 8->9, 9->1, 251->9, 17->9; 255, 252, 253 thrown away
}

TEST(KeyDigits, EveryDigitOneToNineIsEquallyLikelyOverAllByteValues) {
    std::vector<uint8_t> all(256);
    for (int b = 0; b < 256; ++b) all[b] = static_cast<uint8_t>(b);
    DigitSource source(fixedBytes(all));
    std::map<char, int> counts;
    for (int i = 0; i < 252; ++i) ++counts[source.next()];
    ASSERT_EQ(counts.size(), 9u);
    for (const auto& [digit, count] : counts) EXPECT_EQ(count, 28) << digit;
}

TEST(KeyDigits, TheSecureSourceGivesKeysOfDigitsOneToNineThatDiffer) {
    DigitSource source;
    const auto keys = generateKeys(2, 18, source);
    ASSERT_EQ(keys.size(), 2u);
    for (const auto& key : keys) {
        EXPECT_EQ(key.size(), 18u);
        EXPECT_EQ(key.find_first_not_of("123456789"), std::string::npos) << key;
    }
    EXPECT_NE(keys[0], keys[1]);  // equal by chance once in 9^18
}

TEST(KeyGenerationInput, MessagesFollowTheCountThenTheDigits) {
    const std::string count = kMissingCountMessage, digits = kBadDigitsMessage;
    const struct {
        const char* count;
        const char* digits;
        std::string message;
    } cases[] = {
        {"", " 18", count}, {"abc", " 18", count}, {"0", " 18", count}, {"0", " 7", count},
        {"3", " 7", digits}, {"3", "19", digits}, {"3", "", digits},
        {"3", " 8", ""},     {"3", "18", ""},     {"-2", " 18", ""},   {"2.5", "8.5", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkGenerateInput(c.count, c.digits).value_or(""), c.message) << c.count << "/" << c.digits;
}

TEST(KeyGenerationInput, CountAndLengthAreLoopBounds) {
    DigitSource source(fixedBytes({4}));
    EXPECT_EQ(generateKeys(2.5, 8.5, source), (std::vector<std::string>{"55555555", "55555555"}));
    EXPECT_TRUE(generateKeys(-3, 18, source).empty());
}

TEST(KeyToSet, IsOneOrMoreDigits) {
    for (const char* good : {"123456789", "0", "999999999999999999"}) EXPECT_TRUE(isKeyString(good)) << good;
    for (const char* bad : {"", " 12345678", "12345678 ", "1234a678", "-12345678", "1.5"})
        EXPECT_FALSE(isKeyString(bad)) << bad;
}

TEST(SecureRandom, FillsTheWholeBuffer) {
    std::vector<uint8_t> a(4096, 0), b(4096, 0);
    platform::secureRandomBytes(a.data(), a.size());
    platform::secureRandomBytes(b.data(), b.size());
    EXPECT_NE(a, b);
    EXPECT_GT(std::count_if(a.begin() + 2048, a.end(), [](uint8_t v) { return v != 0; }), 1900);
}

}  // namespace
}  // namespace varkel::admin
