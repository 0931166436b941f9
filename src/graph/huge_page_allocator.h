// HugePageAllocator: a std::allocator for tables read at random, such as the
// id table of a graph store with millions of nodes.
//
// A lookup in a table of a hundred megabytes misses the cache and, with
// 4 KiB pages, the address translation cache too; each new page also costs
// a page fault. A block of at least 4 MiB is therefore aligned to 2 MiB and
// marked for transparent huge pages where the system offers them (Linux with
// transparent huge pages on "madvise" or "always"), which cuts both. Smaller
// blocks come from malloc as usual. Stateless: any two allocators are equal.
//
//   std::vector<Entry, HugePageAllocator<Entry>> table(1 << 24);
#pragma once

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include <cstddef>
#include <cstdlib>
#include <new>

namespace tolva {

template <typename T>
struct HugePageAllocator {
  using value_type = T;

  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kSmallestHugeBlock = 2 * kHugePage;

  HugePageAllocator() = default;
  template <typename U>
  HugePageAllocator(const HugePageAllocator<U>&) {}

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T) - kHugePage) throw std::bad_alloc();
    std::size_t bytes = count * sizeof(T);
    void* at = nullptr;
    if (bytes >= kSmallestHugeBlock) {
      std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
      at = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
      // Only advice: where it is refused, the block works with small pages.
      if (at != nullptr) madvise(at, rounded, MADV_HUGEPAGE);
#endif
    } else {
      at = std::malloc(bytes == 0 ? 1 : bytes);  // malloc(0) may give null
    }
    if (at == nullptr) throw std::bad_alloc();
    return static_cast<T*>(at);
  }
  void deallocate(T* at, std::size_t) { std::free(at); }

  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const {
    return true;
  }
};

}  // namespace tolva
