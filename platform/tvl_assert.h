// TVL_ASSERT: an invariant of the program's own state (a slot bound, a vertex
// count) checked where it matters. Kept in test and CI builds (TVL_ASSERTS),
// left out of the shipped one, where the clamp beside it stays the behaviour.
#pragma once

#if defined(TVL_ASSERTS) && TVL_ASSERTS
// Names the broken invariant and where, then aborts.
[[noreturn]] void TvlAssertFailed(const char* condition, const char* file, int line);
#define TVL_ASSERT(condition) ((condition) ? static_cast<void>(0) : TvlAssertFailed(#condition, __FILE__, __LINE__))
#else
// Not evaluated; still compiled, so a name it alone uses stays used.
#define TVL_ASSERT(condition) static_cast<void>(sizeof(!(condition)))
#endif
