// ConvertKeys: stretches the key's ten expansion numbers into the 20000-entry table.
// Every value is a 16-bit Integer: a sum that leaves that range fails with error 6.
#include "Numbers.h"
#include "Operations.h"

#include <cmath>
#include <utility>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

class Table {
public:
    explicit Table(std::vector<int16_t>& n) : n_(n) {}
    int16_t& operator()(int x) { return n_.at(static_cast<size_t>(x)); }

    // Sum of the entries first..last, checked after every addition.
    int16_t sum(int first, int last) {
        int16_t total = 0;
        for (int x = first; x <= last; ++x) total = addInteger(total, (*this)(x));
        return total;
    }
    void add(int x, int32_t value) { (*this)(x) = addInteger((*this)(x), value); }
    void swap(int x, int y) { std::swap((*this)(x), (*this)(y)); }
    void reverseFirstTen() {
        for (int x = 1; x <= 5; ++x) swap(x, 11 - x);
    }
    void absolute(int x) {
        if ((*this)(x) < 0) (*this)(x) = toInteger(-static_cast<double>((*this)(x)));
    }

    // Writes N(w) = N(s) + add for s = from, from + step, ... up to and including `to`.
    void fill(int& w, int from, int to, int step, int32_t add) {
        for (int s = from; step > 0 ? s <= to : s >= to; s += step) (*this)(w++) = addInteger((*this)(s), add);
    }

private:
    std::vector<int16_t>& n_;
};

// Mean of a checked sum, rounded with halves to the even neighbour.
int16_t roundedMean(int16_t sum, int count) { return toInteger(static_cast<double>(sum) / count); }

}  // namespace

void ConvertKeys(ModuleState& m) {
    if (m.ExpansionNumbers.size() != kExpansionTableSize + 1) m.ExpansionNumbers.resize(kExpansionTableSize + 1);
    Table N(m.ExpansionNumbers);

    // Mixing of the ten numbers.
    for (int x = 11; x <= kExpansionTableSize; ++x) N(x) = 0;
    N.swap(1, 3);
    N.swap(6, 8);
    const int16_t a = roundedMean(N.sum(1, 3), 3);
    for (int x : {1, 3, 5}) N.add(x, a);
    for (int x : {4, 7, 9}) N.add(x, -a);
    N.swap(10, 5);
    N.swap(7, 9);
    const int16_t b = roundedMean(N.sum(4, 6), 3);
    for (int x : {2, 6, 8}) N.add(x, b);
    for (int x : {10, 7, 1}) N.add(x, -b);
    N.reverseFirstTen();
    const int16_t c = roundedMean(N.sum(1, 10), 10);
    for (int x : {1, 3, 5, 7, 9}) N.add(x, c);
    for (int x : {2, 4, 6, 8}) N.add(x, -c);
    for (int x = 1; x <= 10; ++x) N(10 + x) = N(x);
    N.reverseFirstTen();
    const int16_t d = roundedMean(N.sum(1, 10), 10);
    for (int x : {1, 3, 5, 7, 9}) N.add(x, -d);
    for (int x : {2, 4, 6, 8}) N.add(x, d);
    for (int x = 1; x <= 10; ++x) N(20 + x) = N(x);
    static constexpr int kTweak[10] = {2, -3, 4, -2, 3, -4, 2, -3, 4, -2};
    for (int x = 0; x < 10; ++x) N.add(21 + x, kTweak[x]);
    for (int i = 0; i <= 9; ++i) N(31 + i) = N(3 * i + 1);
    for (int x = 1; x <= 40; ++x) {
        if (N(x) == 0 || N(x) == 1) N(x) = 2;
        N.absolute(x);
    }

    // Growing to 100.
    static constexpr int kPairs[20][2] = {{2, 2},  {4, 4},  {6, 6},  {8, 8},  {10, 10}, {12, 8}, {14, 6},
                                          {16, 4}, {18, 2}, {20, 1}, {19, 3}, {18, 5},  {17, 7}, {16, 5},
                                          {15, 3}, {14, 1}, {13, 5}, {12, 4}, {11, 2},  {10, 1}};
    for (int i = 0; i < 20; ++i) N(41 + i) = addInteger(N(kPairs[i][0]), kPairs[i][1]);
    for (int x = 61; x <= 100; ++x) N(x) = addInteger(N(x - 51), N(x - 60));

    // Filling onward.
    int w = 101;
    N.fill(w, 100, 1, -1, 0);
    N.fill(w, 1, 199, 2, 0);
    N.fill(w, 199, 1, -2, 0);
    N.fill(w, 1, 298, 3, 2);
    for (int s = 500; s >= 1; --s) N(w++) = static_cast<int16_t>(std::floor(N(s) / 2.0));
    N.fill(w, 1, 499, 2, 0);
    N.fill(w, 500, 2, -2, 0);
    N.fill(w, 1, 997, 4, 1);
    N.fill(w, 1000, 5, -5, 3);
    N.fill(w, 1500, 1200, -2, 2);
    N.fill(w, 1000, 2000, 1, 2);
    N.fill(w, 1, 1000, 3, 2);
    N.fill(w, 1000, 1, -3, 2);
    N.fill(w, 1, 991, 10, 1);
    N.fill(w, 1001, 1991, 10, 2);
    N.fill(w, 2001, 2991, 10, 3);
    N.fill(w, 3001, 3991, 10, 2);
    N.fill(w, 2000, 1000, -10, -2);
    N.fill(w, 3000, 2000, -10, 3);
    N.fill(w, 4001, 3001, -10, 2);
    N.fill(w, 100, 4000, 100, 2);
    N.fill(w, 3900, 100, -100, 3);
    N.fill(w, 10, 4440, 10, 2);  // ends at w = 4997, which stays 0 until the clean-up below
    N(4998) = addInteger(addInteger(N(100), N(1)), N(66));
    N(4999) = addInteger(addInteger(N(1000), N(5)), N(660));
    N(5000) = addInteger(addInteger(N(2100), N(10)), N(2660));
    for (int x = 1; x <= 5000; ++x) {
        N.absolute(x);
        if (N(x) == 0) N(x) = 15;
    }
    w = 5001;
    N.fill(w, 1, 4999, 2, 0);
    N.fill(w, 5000, 2, -2, 0);
    N(10000) = addInteger(N(5000), N(1));
    w = 10001;
    N.fill(w, 10000, 1, -1, 1);
}

}  // namespace varkel::cipher
