#include "LiteralCipher.h"

#include <algorithm>
#include <stdexcept>

namespace varkel::reference {

std::string textAlphabet() {
    std::string a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@#$%&*()-+=!:;,.? '<>\\|^~{}[]/";
    const int tail[] = {34, 13, 95, 96, 196, 203, 214, 220, 223, 228, 235, 246, 252, 248, 216, 197, 229, 191, 192, 193,
                        194, 195, 200, 201, 202, 204, 205, 206, 207, 209, 210, 211, 212, 213, 217, 218, 219, 221, 224,
                        225, 226, 227, 231, 232, 233, 234, 236, 237, 238, 239, 241, 242, 243, 244, 245, 249, 250, 251, 253};
    for (int b : tail) a += static_cast<char>(b);
    return a;
}

std::string binaryAlphabet() {
    std::string a;
    for (int b = 0; b < 256; ++b) a += static_cast<char>(b);
    return a;
}

namespace {

int firstDigit(int v) { return std::to_string(v)[0] - '0'; }

std::vector<int> schedule(const std::string& s) {
    std::vector<int> e(1);  // entry 0 unused
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (int v = 1; v <= 35; v += 2) e.push_back(std::stoi(s.substr(v - 1, 2)));
        auto loop = [&](int from, int step, bool down, int add) {
            const int m = static_cast<int>(e.size()) - 1;
            if (down) {
                for (int v = m; v >= 1; v -= step) e.push_back(e[v] + add);
            } else {
                for (int v = from; v <= m; v += step) e.push_back(e[v] + add);
            }
        };
        loop(1, 1, false, 2);
        loop(1, 1, false, 3);
        loop(2, 2, false, 4);
        loop(3, 3, false, 5);
        loop(4, 4, false, 1);
        loop(0, 6, true, 7);
        loop(0, 1, true, 1);
        loop(1, 10, false, 2);
    }
    for (size_t v = 2; v < e.size(); ++v) {
        if (e[v] == e[v - 1]) e[v] += 2;
        if (e[v] > 151) e[v] -= 151;
    }
    return e;
}

}  // namespace

std::array<int64_t, 201> masterTable(const std::string& seed) {
    std::array<int64_t, 201> t{};
    auto digit = [](const std::string& c) {
        const int v = (c.size() == 1 && c[0] >= '0' && c[0] <= '9') ? c[0] - '0' : 0;
        return v == 0 ? 10 : v;
    };
    t[1] = digit(seed.substr(0, 1));
    t[2] = digit(seed.size() >= 2 ? seed.substr(1, 1) : "");
    t[3] = digit(seed.empty() ? "" : seed.substr(seed.size() - 1));
    t[4] = t[1] + t[2] + t[3];
    t[5] = t[1] + t[2] + 2;
    t[6] = t[2] + t[3] + 3;
    t[7] = t[1] + t[3] + 4;
    t[8] = t[1] + 5;
    t[9] = t[2] + 5;
    t[10] = t[3] + 5;
    int w = 11;
    auto up = [&](int from, int to, int step, int add) {
        for (int s = from; s <= to && w <= 200; s += step) t[w++] = t[s] + add;
    };
    // A descending run starts at the last position written before it.
    auto down = [&](int to, int step, int add) {
        const int from = w - 1;
        for (int s = from; s >= to && w <= 200; s -= step) t[w++] = t[s] + add;
    };
    up(1, 10, 2, 2);
    up(2, 10, 2, 3);
    down(1, 3, 7);
    up(1, w - 1, 3, 9);
    up(1, w - 1, 5, 13);
    down(1, 5, 17);
    up(1, w - 1, 7, 4);
    down(1, 7, 6);
    up(2, w - 1, 8, 1);
    down(2, 8, 2);
    up(5, w - 1, 5, 3);
    down(5, 5, 2);
    down(1, 1, 1);
    if (w != 201) throw std::logic_error("master table not filled");
    for (int x = 1; x <= 200; ++x) {
        if (t[x] < 10) t[x] += 10;
        if (t[x] > 50) t[x] -= 20;
    }
    return t;
}

KeyMaterial setUp(const std::string& key, bool text) {
    KeyMaterial k;
    std::string key18 = key;
    while (key18.size() < 18) key18 += key18;
    key18.resize(18);
    k.key18 = key18;
    k.schedule = schedule(key18 + std::string(key18.rbegin(), key18.rend()));

    // The row W(1..N); rotating it left moves W(1) to the end.
    std::vector<char> row;
    for (char c : text ? textAlphabet() : binaryAlphabet()) row.push_back(c);
    size_t c = 0;
    int swaps = 0;
    auto next = [&] {
        c = c + 1 > 12320 ? 1 : c + 1;
        return k.schedule[c];
    };
    for (int p = 1; p <= 20; ++p) {
        for (int i = 0; i < 500; ++i) {
            const int a = next();
            const int b = next();
            std::swap(row.at(a - 1), row.at(b - 1));
            if (++swaps == 2) {
                swaps = 0;
                std::rotate(row.begin(), row.begin() + 1, row.end());
            }
        }
        k.wheels[p] = std::string(row.begin(), row.end());
    }
    auto stepRule = [](int d) { return d + 1 > 7 ? d - 4 : d + 1; };
    auto expansionRule = [](int d) { return d + 20 > 22 ? d + 5 : d + 20; };
    for (int p = 1; p <= 20; ++p) {
        k.direction[p] = k.schedule[19 + p] > 45 ? 1 : 0;
        k.param[p] = stepRule(firstDigit(k.schedule[39 + p]));
        k.step[p] = stepRule(firstDigit(k.schedule[59 + p]));
    }
    for (int i = 0; i < 10; ++i) {
        k.expansion[i] = expansionRule(firstDigit(k.schedule[80 + i]));
        k.scramble[i] = expansionRule(firstDigit(k.schedule[90 + i]));
    }
    int x = k.schedule[21] * k.schedule[20];
    while (x > 999) x -= 999;
    if (x < 10) x += 10;
    const std::string digits = "00" + std::to_string(x);
    k.seed = digits.substr(digits.size() - 3);
    k.master = masterTable(k.seed);
    return k;
}

Machine Machine::fromKey(const KeyMaterial& k, bool text) {
    Machine m;
    m.alphabet = text ? textAlphabet() : binaryAlphabet();
    m.wheels = k.wheels;
    m.direction = k.direction;
    m.step = k.step;
    m.master = k.master;
    m.threshold = k.master[1];
    return m;
}

void Machine::shift() {
    const int n = static_cast<int>(alphabet.size());
    for (int p = 1; p <= 20; ++p) {
        const std::string& w = wheels[p];
        const int s = step[p];
        wheels[p] = direction[p] != 0 ? w.substr(s) + w.substr(0, s) : w.substr(n - s) + w.substr(0, n - s);
    }
    if (++masterCounter < threshold) return;
    masterCounter = 0;
    std::rotate(wheels.begin() + 1, wheels.begin() + 2, wheels.end());
    masterIndex = masterIndex + 1 > 200 ? 1 : masterIndex + 1;
    threshold = master[masterIndex];
}

char Machine::encipher(char x, int passCount) {
    for (int pass = 0; pass < passCount; ++pass)
        for (int p = 1; p <= 20; ++p) x = wheels[p].at(alphabet.find(x));
    shift();
    return x;
}

char Machine::decipher(char y, int passCount) {
    for (int pass = 0; pass < passCount; ++pass)
        for (int p = 20; p >= 1; --p) y = alphabet.at(wheels[p].find(y));
    shift();
    return y;
}

std::string encipher(Machine& machine, const std::string& symbols) {
    std::string out;
    for (char c : symbols) out += machine.encipher(c, machine.passes);
    return out;
}

std::string decipher(Machine& machine, const std::string& symbols) {
    std::string out;
    for (char c : symbols) out += machine.decipher(c, machine.passes);
    return out;
}

}  // namespace varkel::reference
