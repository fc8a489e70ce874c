#pragma once
#include <optional>

#include "core/Database.h"

namespace lq::test {

// A read's value, or nothing when the read failed (so that a failure never passes for a value).
template <class T>
std::optional<T> ValueOrNothing(const SqlValue<T>& read) {
    return read.ok() ? std::optional<T>(read.value) : std::nullopt;
}

}  // namespace lq::test
