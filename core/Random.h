#pragma once
// The program's one source of random numbers: non-negative 31-bit draws behind an interface, so
// that tests can script them. The running program seeds one generator from the clock at start-up.
#include <cstdint>
#include <random>
#include <vector>

namespace lq {

class Random {
public:
    virtual ~Random() = default;
    // A uniformly distributed integer in [0, 2^31).
    virtual int Draw31() = 0;
};

// A number in [0, n): the draw modulo n (the small bias towards low values is accepted).
// n <= 0 gives 0 without a draw.
int RandomBelow(Random& rng, int n);

class StdRandom final : public Random {
public:
    explicit StdRandom(uint32_t seed) : engine_(seed) {}
    int Draw31() override { return static_cast<int>(engine_() & 0x7FFFFFFFu); }

private:
    std::mt19937 engine_;
};

// Hands out the given draws in order; after the last it keeps giving `fallback`.
class ScriptedRandom final : public Random {
public:
    explicit ScriptedRandom(std::vector<int> draws = {}, int fallback = 0)
        : draws_(std::move(draws)), fallback_(fallback) {}
    int Draw31() override {
        const int v = next_ < draws_.size() ? draws_[next_] : fallback_;
        ++next_;
        return v;
    }
    void Push(int draw) { draws_.push_back(draw); }
    int DrawCount() const { return static_cast<int>(next_); }

private:
    std::vector<int> draws_;
    int fallback_;
    size_t next_ = 0;
};

}  // namespace lq
