#pragma once
// Waiting for what a person would wait for: the event loop runs (reports,
// timers, queued calls) until the condition holds or the time is up.

#include <functional>

namespace zarvex::demo {

// True as soon as `done` holds, checked first and after every short slice of
// event processing; false when `timeoutMs` passed without it.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

}  // namespace zarvex::demo
