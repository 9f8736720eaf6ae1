// The report of a broken TVL_ASSERT invariant.
#include "platform/tvl_assert.h"

#include <cstdio>
#include <cstdlib>

#if defined(TVL_ASSERTS) && TVL_ASSERTS
void TvlAssertFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}
#endif
