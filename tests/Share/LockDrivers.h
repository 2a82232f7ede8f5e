// Lock drivers (one launcher's lock traffic each, tests/Shared/LockDriver.cpp) started as the
// share's machines, and the totals of their reports.
#pragma once

#include "ShareSupport.h"

#include <sstream>

namespace varkel::test {

struct StartedDrivers {
    std::vector<int32_t> pids;
    std::vector<int> ids;
};

struct DriverTotals {
    int grants = 0, doubles = 0, lost = 0, unfinished = 0;
};

class LockDrivers : public ShareTest {
protected:
    static constexpr int kDocuments = 4;

    // Starts `perMachine` drivers of `cycles` cycles on each machine of `on`, numbered from
    // `firstId` (each writes its report under its number).
    static StartedDrivers startDrivers(int cycles, const std::vector<ShareMachine>& on, int perMachine,
                                       int firstId = 0) {
        StartedDrivers started;
        int id = firstId;
        for (const ShareMachine& m : on)
            for (int p = 0; p < perMachine; ++p, ++id) {
                started.pids.push_back(m.start(std::string(LOCK_DRIVER) + " N:\\ " + std::to_string(id) + " " +
                                               std::to_string(cycles) + " " + std::to_string(kDocuments)));
                started.ids.push_back(id);
            }
        return started;
    }

    // Waits for the drivers (a driver that hangs is a failure) and adds up their reports; a
    // driver that ended without one counts as unfinished.
    DriverTotals collect(const StartedDrivers& started) const {
        EXPECT_TRUE(waitFor(started.pids)) << "a launcher hung";
        DriverTotals totals;
        for (int id : started.ids) {
            std::istringstream report(readBytes(server() / ("report" + std::to_string(id) + ".txt")));
            int g = -1, d = -1, l = -1;
            if (!(report >> g >> d >> l)) {
                ++totals.unfinished;
                continue;
            }
            totals.grants += g;
            totals.doubles += d;
            totals.lost += l;
        }
        return totals;
    }
};

}  // namespace varkel::test
