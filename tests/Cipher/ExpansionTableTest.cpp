// The expansion-number table built from a key's ten numbers.
#include "Operations.h"
#include "VbError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace varkel::cipher {
namespace {

ModuleState withNumbers(const std::array<int16_t, 10>& numbers) {
    ModuleState m;
    std::copy(numbers.begin(), numbers.end(), m.ExpansionNumbers.begin() + 1);
    return m;
}

TEST(ConvertKeys, DependsOnlyOnTheFirstTenNumbers) {
    const std::array<int16_t, 10> numbers{8, 22, 14, 9, 20, 11, 13, 21, 10, 12};
    ModuleState clean = withNumbers(numbers);
    ModuleState dirty = withNumbers(numbers);
    std::mt19937 rng(7);
    for (size_t x = 11; x < dirty.ExpansionNumbers.size(); ++x) dirty.ExpansionNumbers[x] = static_cast<int16_t>(rng());
    ConvertKeys(clean);
    ConvertKeys(dirty);
    EXPECT_EQ(clean.ExpansionNumbers, dirty.ExpansionNumbers);
    ModuleState again = withNumbers(numbers);
    ConvertKeys(again);
    EXPECT_EQ(clean.ExpansionNumbers, again.ExpansionNumbers);
}

// Every entry ends at 1 or more and entry 4997, never written by the fill, is set to 15, for
// the numbers a key set-up writes and for any numbers the callers accept.
TEST(ConvertKeys, EveryEntryAtLeastOneForAcceptedNumbers) {
    static constexpr int16_t kKeyValues[] = {8, 9, 10, 11, 12, 13, 14, 20, 21, 22};
    std::mt19937 rng(2024);
    for (int round = 0; round < 400; ++round) {
        std::array<int16_t, 10> numbers{};
        for (auto& n : numbers)
            n = round % 2 == 0 ? kKeyValues[rng() % 10] : static_cast<int16_t>(rng() % 100);
        ModuleState m = withNumbers(numbers);
        ASSERT_NO_THROW(ConvertKeys(m)) << "round " << round;
        const auto& N = m.ExpansionNumbers;
        ASSERT_EQ(N[4997], 15) << "round " << round;
        const auto smallest = std::min_element(N.begin() + 1, N.end());
        ASSERT_GE(*smallest, 1) << "round " << round << " entry " << (smallest - N.begin());
    }
}

// Steps up to the first copy, worked out on their own with the mean of step 7 given: the ten
// numbers sum to 125 or 135, and that sum is what step 7 sees (the steps before only move
// amounts between entries). Entries 11..20 keep the result apart from the 0/1/negative fix.
std::array<int, 11> firstCopy(const std::array<int16_t, 10>& numbers, int c) {
    std::array<int, 11> n{};
    for (int i = 0; i < 10; ++i) n[i + 1] = numbers[i];
    std::swap(n[1], n[3]);
    std::swap(n[6], n[8]);
    const int a = static_cast<int>(std::lround((n[1] + n[2] + n[3]) / 3.0));
    n[1] += a, n[3] += a, n[5] += a, n[4] -= a, n[7] -= a, n[9] -= a;
    std::swap(n[10], n[5]);
    std::swap(n[7], n[9]);
    const int b = static_cast<int>(std::lround((n[4] + n[5] + n[6]) / 3.0));
    n[2] += b, n[6] += b, n[8] += b, n[10] -= b, n[7] -= b, n[1] -= b;
    std::reverse(n.begin() + 1, n.end());
    for (int x = 1; x <= 9; ++x) n[x] += x % 2 == 1 ? c : -c;
    for (int x = 1; x <= 10; ++x) {
        if (n[x] == 0 || n[x] == 1) n[x] = 2;
        n[x] = std::abs(n[x]);
    }
    return n;
}

TEST(ConvertKeys, HalvesOfTheMeanRoundToEven) {
    struct Case {
        std::array<int16_t, 10> numbers;
        int mean;  // 12.5 -> 12, 13.5 -> 14
    };
    const Case cases[] = {
        {{12, 13, 12, 13, 12, 13, 12, 13, 12, 13}, 12},
        {{14, 13, 14, 13, 14, 13, 14, 13, 14, 13}, 14},
        {{30, 5, 0, 20, 10, 25, 5, 10, 15, 5}, 12},
    };
    for (const Case& c : cases) {
        ModuleState m = withNumbers(c.numbers);
        ConvertKeys(m);
        const auto expected = firstCopy(c.numbers, c.mean);
        const auto otherNeighbour = firstCopy(c.numbers, 13);
        ASSERT_NE(expected, otherNeighbour);
        for (int x = 1; x <= 10; ++x) EXPECT_EQ(m.ExpansionNumbers[10 + x], expected[x]) << "entry " << 10 + x;
    }
}

TEST(ConvertKeys, OverflowFailsWithSix) {
    ModuleState m = withNumbers({20000, 20000, 20000, 1, 1, 1, 1, 1, 1, 1});
    try {
        ConvertKeys(m);
        FAIL() << "no overflow reported";
    } catch (const platform::VbError& e) {
        EXPECT_EQ(e.number(), 6);
    }
}

}  // namespace
}  // namespace varkel::cipher
