#pragma once
// The core tests' lesson database and clock.
#include <gtest/gtest.h>

#include <string>

#include "platform/DateTime.h"
#include "tests/support/LessonDb.h"

namespace lq::test {

class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime t) : t_(t) {}
    DateTime Now() override { return t_; }
    void Set(DateTime t) { t_ = t; }

private:
    DateTime t_;
};

inline DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDateTime({y, mo, d, h, mi, s, 0});
}

// The lesson database of the core tests.
using CoreTestDb = LessonDb;

}  // namespace lq::test
