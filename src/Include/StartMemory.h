// Memory taken in one step at the start of the program.
// Each page of memory the program touches for the first time costs a page
// fault; on a virtual machine a fault can cost 10-20 µs, and a start touches
// a few thousand heap pages before the first page of the book is shown.
// WarmHeap grows the main heap and has the kernel supply its pages in one
// call; the allocations of the start then find them ready.
#pragma once

#include <cstddef>

// Grows the heap of the calling thread's arena by about bytes and takes its
// pages at once. The memory stays with the heap as free space for the
// allocations that follow. Returns the bytes taken; 0 where the system cannot
// take pages in one call (Linux before 5.14, other systems, a sanitizer's
// allocator), and then nothing changes. Call it once, early, from the main
// thread.
std::size_t WarmHeap(std::size_t bytes);

// Has the kernel supply, in one call, every whole page inside the size bytes
// from begin, which must be writable memory of the process. Returns the bytes
// taken; 0 where the system cannot (then the pages come one fault at a time,
// as before).
std::size_t TakePages(void *begin, std::size_t size);
