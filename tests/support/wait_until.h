// Bounded waiting on a condition: tests never sleep a guessed time.
#pragma once

#include <chrono>
#include <functional>

namespace qlm::test {

// Polls `pred` every few milliseconds until it holds or `deadline` has passed.
// Returns the last result of `pred`.
bool WaitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

}  // namespace qlm::test
