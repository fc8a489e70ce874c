#include "core/Random.h"

namespace lq {

int RandomBelow(Random& rng, int n) {
    if (n <= 0) return 0;
    return rng.Draw31() % n;
}

}  // namespace lq
