// A fixed number of items on the process heap, value-initialised (zero-filled for plain data) and
// freed when the owner goes. An allocation the heap refuses leaves the array empty: callers test
// it and take their failure path, since the program has no exceptions to throw.
#pragma once

#include <cstddef>
#include <new>

template <typename Item>
class HeapArray {
 public:
  HeapArray() = default;
  explicit HeapArray(std::size_t count) { reset(count); }
  ~HeapArray() { delete[] items_; }

  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;
  HeapArray(HeapArray&& other) noexcept : items_(other.items_), count_(other.count_) {
    other.items_ = nullptr;
    other.count_ = 0;
  }
  HeapArray& operator=(HeapArray&& other) noexcept {
    if (this != &other) {
      delete[] items_;
      items_ = other.items_;
      count_ = other.count_;
      other.items_ = nullptr;
      other.count_ = 0;
    }
    return *this;
  }

  // Replaces the contents with `count` new items. False, leaving the array empty, when the heap
  // refuses them.
  bool reset(std::size_t count) {
    delete[] items_;
    items_ = count > 0 ? new (std::nothrow) Item[count]() : nullptr;
    count_ = items_ != nullptr ? count : 0;
    return items_ != nullptr || count == 0;
  }

  explicit operator bool() const { return items_ != nullptr; }
  Item* data() { return items_; }
  const Item* data() const { return items_; }
  std::size_t size() const { return count_; }
  Item& operator[](std::size_t index) { return items_[index]; }
  const Item& operator[](std::size_t index) const { return items_[index]; }

 private:
  Item* items_ = nullptr;
  std::size_t count_ = 0;
};
