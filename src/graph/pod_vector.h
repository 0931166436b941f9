// PodVector: a growable array of plain records, for the slot tables of the
// graph store.
//
// It behaves like the few std::vector members it has, with one difference in
// cost: it grows with std::realloc. A large block is then moved by remapping
// its pages instead of copying them into fresh memory, so a table that grows
// to a gigabyte (the expanded DAG of a long diamond chain) is written once
// instead of once per doubling, and the kernel zeroes each page once. Only
// trivially copyable records qualify, since realloc moves them bytewise.
// Allocation failure throws std::bad_alloc, as std::vector does.
//
//   PodVector<NodeSlot> slots;
//   slots.emplace_back().floor = 3;
//   PodVector<NodeSlot> copy = slots;   // one block copy
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace tolva {

template <typename T>
class PodVector {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "records are moved bytewise");

 public:
  PodVector() = default;
  PodVector(const PodVector& other) { copy_from(other); }
  PodVector& operator=(const PodVector& other) {
    if (this != &other) copy_from(other);
    return *this;
  }
  PodVector(PodVector&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  PodVector& operator=(PodVector&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ~PodVector() { std::free(data_); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

  void reserve(std::size_t count) {
    if (count > capacity_) reallocate(count);
  }
  T& emplace_back() {
    if (size_ == capacity_) reallocate(capacity_ < 8 ? 8 : 2 * capacity_);
    return *::new (static_cast<void*>(data_ + size_++)) T();
  }
  void resize(std::size_t count, const T& value) {
    if (count > capacity_) reallocate(count > 2 * capacity_ ? count : 2 * capacity_);
    for (std::size_t i = size_; i < count; ++i) ::new (static_cast<void*>(data_ + i)) T(value);
    size_ = count;
  }
  void assign(std::size_t count, const T& value) {
    size_ = 0;
    resize(count, value);
  }
  void clear() { size_ = 0; }
  // Drops the contents and holds `count` records whose bytes are all zero.
  // A large block comes from the system as it is, so the pages of records
  // nobody touches are never written: per-slot scratch sized to a huge graph
  // costs what a walk visits. The all-zero record must mean "nothing here".
  void assign_zeroed(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    if (count == 0) return;
    data_ = static_cast<T*>(std::calloc(count, sizeof(T)));
    if (data_ == nullptr) throw std::bad_alloc();
    size_ = capacity_ = count;
  }

 private:
  void reallocate(std::size_t capacity) {
    if (capacity > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* moved = std::realloc(data_, capacity * sizeof(T));
    if (moved == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(moved);
    capacity_ = capacity;
  }

  // Keeps this array's block when it has room: a recycled graph's tables take
  // the next copy without allocating.
  void copy_from(const PodVector& other) {
    if (other.size_ > capacity_) {
      std::free(data_);
      data_ = nullptr;
      capacity_ = 0;
      reallocate(other.size_);
    }
    if (other.size_ > 0) std::memcpy(static_cast<void*>(data_), other.data_, other.size_ * sizeof(T));
    size_ = other.size_;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace tolva
