// Device operations never let an exception out: a failure inside one leaves the device as the
// failure left it and the caller goes on, as it would after a failed command.
#pragma once

#include <utility>

namespace qv {

template <class Operation> void Quietly(Operation&& operation) noexcept {
    try {
        std::forward<Operation>(operation)();
    } catch (...) {
    }
}

} // namespace qv
