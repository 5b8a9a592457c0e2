#pragma once

// Holds the C library's heap at its size while a job draws its pages. Qt's
// PDF writer allocates and frees its page and compression buffers for every
// page; with glibc's defaults each free hands the top of the heap back to the
// kernel and the next page faults it in again, which costs several times
// what drawing the page does. While one of these lives the heap is neither
// trimmed nor its large blocks mapped apart; afterwards glibc's documented
// defaults are set back (its own adjusting of the mapping threshold stays
// off from then on) and what the job left free is handed back once.
class PageHeap
{
public:
    PageHeap();
    ~PageHeap();
    PageHeap(const PageHeap&) = delete;
    PageHeap& operator=(const PageHeap&) = delete;

private:
    static int s_depth; // a single print inside a batch changes nothing
};
