#include "Numbers.h"
#include "VbError.h"

#include <gtest/gtest.h>

namespace varkel::platform {
namespace {

TEST(Numbers, LeadingNumberOfAText) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"42", 42}, {"  7abc", 7}, {"abc", 0}, {"", 0}, {"-3.5x", -3.5}, {"1e3", 1000},
                 {" 18", 18}, {"2.5", 2.5}, {"2024.bin", 2024}, {"+", 0}, {"12 34", 12}};
    for (const auto& c : cases) EXPECT_EQ(val(c.text), c.value) << c.text;
}

TEST(Numbers, WholeTextNumbers) {
    EXPECT_TRUE(isNumber("2024"));
    EXPECT_TRUE(isNumber(" 3.5 "));
    EXPECT_FALSE(isNumber("2024.bin"));
    EXPECT_FALSE(isNumber(""));
    EXPECT_FALSE(isNumber("-"));
}

TEST(Numbers, RoundingHalvesToEvenAndRangeChecks) {
    EXPECT_EQ(roundHalfEven(12.5), 12);
    EXPECT_EQ(roundHalfEven(13.5), 14);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(toInteger(32767.4), 32767);
    EXPECT_THROW(toInteger(32767.5), VbError);
    EXPECT_THROW(toInteger(-32769), VbError);
    EXPECT_EQ(toLong(-2147483648.0), INT32_MIN);
    EXPECT_THROW(addLong(INT32_MAX, 1), VbError);
    EXPECT_THROW(addInteger(32767, 1), VbError);
    try {
        toInteger(1e9);
    } catch (const VbError& e) {
        EXPECT_EQ(e.number(), 6);
    }
}

}  // namespace
}  // namespace varkel::platform
