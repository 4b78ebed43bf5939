// The in-house containers that appear in the exported signatures: a vector
// that grows through the in-house allocator and reports allocation failure
// instead of throwing, and a sorted map built on it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "pndhal/zualloc.h"

namespace Container {

/// A contiguous sequence whose size and capacity are kept in bytes. It grows
/// to one element when empty and to twice its element count when full. Every
/// operation that needs memory returns false, leaving the vector unchanged,
/// when the allocator has none. An empty vector owns no buffer.
template <class T>
class ZuVector {
  static_assert(std::is_nothrow_move_constructible_v<T>,
                "ZuVector elements must be movable without throwing");

 public:
  using value_type = T;
  using size_type = std::size_t;
  using iterator = T*;
  using const_iterator = const T*;
  using reference = T&;
  using const_reference = const T&;

  ZuVector() noexcept = default;
  /// Copies every element; when memory runs out the copy is left empty.
  ZuVector(const ZuVector& other) { Assign(other); }
  ZuVector(ZuVector&& other) noexcept { Swap(other); }
  ~ZuVector() {
    clear();
    ZuFree(data_);
  }

  /// Replaces the contents with a copy of `other`; unchanged on failure.
  ZuVector& operator=(const ZuVector& other) {
    if (this != &other) Assign(other);
    return *this;
  }
  ZuVector& operator=(ZuVector&& other) noexcept {
    if (this != &other) {
      ZuVector moved(std::move(other));
      Swap(moved);
    }
    return *this;
  }

  /// Copies `other` into this vector; false (and nothing changed) when the
  /// memory for the copy cannot be had.
  bool Assign(const ZuVector& other) {
    if (this == &other) return true;
    ZuVector copy;
    if (!copy.reserve(other.size())) return false;
    for (const T& element : other) copy.emplace_back(element);  // cannot fail: reserved
    Swap(copy);
    return true;
  }

  bool push_back(const T& value) { return emplace_back(value); }
  bool push_back(T&& value) { return emplace_back(std::move(value)); }

  /// Appends an element constructed from `args`; false when it cannot grow.
  template <class... Args>
  bool emplace_back(Args&&... args) {
    if (size() < capacity()) {
      ::new (static_cast<void*>(data_ + size())) T(std::forward<Args>(args)...);
      sizeBytes_ += sizeof(T);
      return true;
    }
    // Build the new element in the new buffer first: `args` may refer to an
    // element of this vector.
    const size_type count = size();
    const size_type grownCapacity = GrownCapacity();
    T* grown = Allocate(grownCapacity);
    if (grown == nullptr) return false;
    ::new (static_cast<void*>(grown + count)) T(std::forward<Args>(args)...);
    Relocate(grown, grownCapacity);
    sizeBytes_ += sizeof(T);
    return true;
  }

  /// Inserts `value` before `position`; later elements move up one place.
  bool insert(const_iterator position, T value) {
    const size_type index = static_cast<size_type>(position - begin());
    if (!emplace_back(std::move(value))) return false;
    std::rotate(begin() + index, end() - 1, end());
    return true;
  }

  /// Removes the element at `position`; later elements move one place towards
  /// the front, keeping their order. Returns the iterator to the element now
  /// at that place. The capacity is kept.
  iterator erase(const_iterator position) {
    iterator target = begin() + (position - begin());
    std::move(target + 1, end(), target);
    back().~T();
    sizeBytes_ -= sizeof(T);
    return target;
  }

  /// Destroys every element; the capacity is kept.
  void clear() noexcept {
    std::destroy(begin(), end());
    sizeBytes_ = 0;
  }

  /// Makes room for `count` elements without changing the size.
  bool reserve(size_type count) {
    if (count <= capacity()) return true;
    T* grown = Allocate(count);
    if (grown == nullptr) return false;
    Relocate(grown, count);
    return true;
  }

  /// Grows with default-constructed elements or shrinks to `count` elements.
  bool resize(size_type count) {
    if (count < size()) {
      std::destroy(begin() + count, end());
      sizeBytes_ = count * sizeof(T);
      return true;
    }
    if (!reserve(count)) return false;
    while (size() < count) {
      ::new (static_cast<void*>(end())) T();
      sizeBytes_ += sizeof(T);
    }
    return true;
  }

  size_type size() const noexcept { return sizeBytes_ / sizeof(T); }
  size_type capacity() const noexcept { return capacityBytes_ / sizeof(T); }
  size_type size_bytes() const noexcept { return sizeBytes_; }
  size_type capacity_bytes() const noexcept { return capacityBytes_; }
  bool empty() const noexcept { return sizeBytes_ == 0; }

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  iterator begin() noexcept { return data_; }
  iterator end() noexcept { return data_ + size(); }
  const_iterator begin() const noexcept { return data_; }
  const_iterator end() const noexcept { return data_ + size(); }
  T& operator[](size_type index) noexcept { return data_[index]; }
  const T& operator[](size_type index) const noexcept { return data_[index]; }
  T& front() noexcept { return data_[0]; }
  T& back() noexcept { return data_[size() - 1]; }
  const T& front() const noexcept { return data_[0]; }
  const T& back() const noexcept { return data_[size() - 1]; }

  void Swap(ZuVector& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(sizeBytes_, other.sizeBytes_);
    std::swap(capacityBytes_, other.capacityBytes_);
  }

 private:
  size_type GrownCapacity() const noexcept { return empty() ? 1 : 2 * size(); }

  static T* Allocate(size_type count) {
    if (count > static_cast<size_type>(-1) / 2 / sizeof(T)) return nullptr;
    return static_cast<T*>(ZuAlloc(count * sizeof(T)));
  }

  // Moves the elements into `grown` (room for `count`) and frees the old buffer.
  void Relocate(T* grown, size_type count) noexcept {
    std::uninitialized_move(begin(), end(), grown);
    std::destroy(begin(), end());
    ZuFree(data_);
    data_ = grown;
    capacityBytes_ = count * sizeof(T);
  }

  T* data_ = nullptr;
  size_type sizeBytes_ = 0;
  size_type capacityBytes_ = 0;
};

/// One entry of a ZuMap.
template <class K, class V>
struct ZuPair {
  K first;
  V second;
};

/// Unique keys in ascending order, found by binary search. Inserting a key
/// that is present keeps the existing entry. The modification counter changes
/// with every change of the contents.
template <class K, class V>
class ZuMap {
 public:
  using key_type = K;
  using mapped_type = V;
  using value_type = ZuPair<K, V>;
  using size_type = std::size_t;
  using iterator = value_type*;
  using const_iterator = const value_type*;

  ZuMap() = default;
  /// Copies every entry; when memory runs out the copy is left empty.
  ZuMap(const ZuMap& other) { CopyFrom(other); }
  ZuMap(ZuMap&&) noexcept = default;
  ZuMap& operator=(const ZuMap& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  ZuMap& operator=(ZuMap&&) noexcept = default;

  /// Inserts (key, value) unless the key is present. True when inserted;
  /// false when the key was present or memory ran out.
  bool insert(const K& key, const V& value) {
    iterator position = LowerBound(key);
    if (position != entries_.end() && position->first == key) return false;
    if (!entries_.insert(position, value_type{key, value})) return false;
    ++modifications_;
    return true;
  }

  iterator find(const K& key) noexcept {
    iterator position = LowerBound(key);
    return position != end() && position->first == key ? position : end();
  }
  const_iterator find(const K& key) const noexcept { return const_cast<ZuMap*>(this)->find(key); }
  bool contains(const K& key) const noexcept { return find(key) != end(); }

  iterator erase(const_iterator position) {
    ++modifications_;
    return entries_.erase(position);
  }

  void clear() noexcept {
    entries_.clear();
    ++modifications_;
  }

  /// Replaces the contents with the entries of `other`, inserted in ascending
  /// order. False when memory ran out (the map then holds what fitted).
  bool CopyFrom(const ZuMap& other) {
    if (this == &other) return true;
    clear();
    if (!entries_.reserve(other.size())) return false;
    for (const value_type& entry : other) {
      if (!insert(entry.first, entry.second)) return false;
    }
    return true;
  }

  size_type size() const noexcept { return entries_.size(); }
  bool empty() const noexcept { return entries_.empty(); }
  iterator begin() noexcept { return entries_.begin(); }
  iterator end() noexcept { return entries_.end(); }
  const_iterator begin() const noexcept { return entries_.begin(); }
  const_iterator end() const noexcept { return entries_.end(); }
  unsigned long modification_count() const noexcept { return modifications_; }

 private:
  iterator LowerBound(const K& key) noexcept {
    iterator low = entries_.begin();
    size_type count = entries_.size();
    while (count > 0) {
      const size_type half = count / 2;
      if (low[half].first < key) {
        low += half + 1;
        count -= half + 1;
      } else {
        count = half;
      }
    }
    return low;
  }

  ZuVector<value_type> entries_;
  unsigned long modifications_ = 0;
};

}  // namespace Container
