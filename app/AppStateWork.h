#pragma once

// How the controller hands work to its pools and takes the result back. Only the controller's
// own sources include this.

#include <utility>

#include "AppState.h"

namespace kelvane {

template <class Work, class Done>
void AppState::inBackground(app::WorkerPool& pool, Work work, Done done) {
    pool.start([this, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        onMain([result = std::move(result), done = std::move(done)](AppState& self) mutable {
            done(self, std::move(result));
        });
    });
}

}  // namespace kelvane
