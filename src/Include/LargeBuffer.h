// Memory for data of many megabytes (a whole book and what is made of it).
//
// Each page the program touches for the first time costs a page fault; on a
// virtual machine one costs several microseconds, so 60 MB of fresh 4 KB pages
// cost about a tenth of a second. Large pages (2 MB) take one fault where small
// ones take 512. The system gives them to memory marked for them only, which
// is what AdviseLargePages does; TLargeBuffer keeps an array in a mapping of
// its own, so marked, and grows it in place or by moving the mapping (no copy).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include <sys/mman.h>
#include <unistd.h>

// Asks for large pages on the whole pages inside [data, data + bytes); a hint
// only, and nothing at all for less than one large page.
inline void AdviseLargePages(void *data, size_t bytes) {
  constexpr size_t large = size_t(2) << 20;
  if (!data || bytes < large)
    return;
  static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
  const size_t from = (reinterpret_cast<size_t>(data) + page - 1) / page * page;
  const size_t to = (reinterpret_cast<size_t>(data) + bytes) / page * page;
  if (to > from)
    ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
}

// A growing array of plain values in a mapping of its own.
template <class T> class TLargeBuffer {
  static_assert(std::is_trivially_copyable_v<T>, "the buffer moves its values as bytes");

public:
  TLargeBuffer() = default;
  ~TLargeBuffer() { Release(); }
  TLargeBuffer(const TLargeBuffer &) = delete;
  TLargeBuffer &operator=(const TLargeBuffer &) = delete;

  size_t size() const { return Size; }
  bool empty() const { return Size == 0; }
  T *data() { return Data; }
  const T *data() const { return Data; }
  T &operator[](size_t i) { return Data[i]; }
  const T &operator[](size_t i) const { return Data[i]; }
  T &back() { return Data[Size - 1]; }

  void push_back(T value) {
    if (Size == Capacity)
      Grow(Size + 1);
    Data[Size++] = value;
  }
  void append(const T *values, size_t count) {
    if (Size + count > Capacity)
      Grow(Size + count);
    std::memcpy(Data + Size, values, count * sizeof(T));
    Size += count;
  }
  // Room for count more values: returned for the caller to write, then
  // committed with Commit (at most count).
  T *Extend(size_t count) {
    if (Size + count > Capacity)
      Grow(Size + count);
    return Data + Size;
  }
  void Commit(size_t count) { Size += count; }
  void clear() { Size = 0; }
  // Gives the memory back.
  void Release() {
    if (Data)
      ::munmap(Data, Capacity * sizeof(T));
    Data = nullptr;
    Size = Capacity = 0;
  }

private:
  T *Data = nullptr;
  size_t Size = 0, Capacity = 0;

  void Grow(size_t wanted) {
    const size_t step = size_t(1) << 20;  // bytes
    size_t bytes = std::max(wanted * sizeof(T), Capacity * sizeof(T) * 2);
    bytes = std::max(step, (bytes + step - 1) / step * step);
    void *p;
    if (!Data) {
      p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    } else {
      p = ::mremap(Data, Capacity * sizeof(T), bytes, MREMAP_MAYMOVE);
    }
    if (p == MAP_FAILED)
      throw std::bad_alloc();
    AdviseLargePages(p, bytes);
    Data = static_cast<T *>(p);
    Capacity = bytes / sizeof(T);
  }
};
