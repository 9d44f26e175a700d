#pragma once

namespace marlit {

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot follow a thread started in a forked child, which the folder readers
// are: in its builds a reader's work that would go to threads of its own runs in turn.
inline constexpr bool kThreadsAfterFork = false;
#else
inline constexpr bool kThreadsAfterFork = true;
#endif

} // namespace marlit
