#include "print/pageheap.h"

#include <cstdlib> // defines __GLIBC__ on glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif

int PageHeap::s_depth = 0;

namespace
{

#if defined(__GLIBC__)
// glibc's documented defaults (mallopt(3)).
constexpr int kDefaultTopPad = 128 * 1024;
constexpr int kDefaultTrimThreshold = 128 * 1024;
constexpr int kDefaultMmapThreshold = 128 * 1024;
// Qt's PDF writer takes a 16 MB buffer to compress each page into; growing
// by more than that at a time and never shrinking below it keeps it in
// place from page to page.
constexpr int kJobTopPad = 64 * 1024 * 1024;
constexpr int kJobTrimThreshold = 256 * 1024 * 1024;
// Large blocks come from the heap too: mapped apart, each would be faulted
// in afresh on every page. 32 MB is the largest glibc accepts.
constexpr int kJobMmapThreshold = 32 * 1024 * 1024;
#endif

} // namespace

PageHeap::PageHeap()
{
    if (s_depth++)
        return;
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kJobMmapThreshold);
    mallopt(M_TOP_PAD, kJobTopPad);
    mallopt(M_TRIM_THRESHOLD, kJobTrimThreshold);
#endif
}

PageHeap::~PageHeap()
{
    if (--s_depth)
        return;
#if defined(__GLIBC__)
    mallopt(M_TOP_PAD, kDefaultTopPad);
    mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
    mallopt(M_MMAP_THRESHOLD, kDefaultMmapThreshold);
    malloc_trim(0);
#endif
}
