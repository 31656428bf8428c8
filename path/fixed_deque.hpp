// FixedDeque: a ring buffer of fixed capacity for small trivially copyable
// values (the planner keeps node pointers in it). Two equal buffers are
// held, the live ring and a scratch buffer that insert and erase copy into,
// so that nothing is allocated after reserve. An empty flag tells a full
// ring (head == tail) from an empty one. Every operation that cannot be
// carried out (full, empty, index out of range) returns false and changes
// nothing; reads outside the contents give a value-initialised T.
// Single-threaded; the owner decides the lifetime.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace crv {

template <typename T>
class FixedDeque {
    static_assert(std::is_trivially_copyable_v<T>, "FixedDeque moves its elements with memcpy");

public:
    FixedDeque() noexcept = default;
    FixedDeque(const FixedDeque&) = delete;
    FixedDeque& operator=(const FixedDeque&) = delete;
    virtual ~FixedDeque() = default;

    // Drops the contents and both buffers, then holds room for capacity
    // elements (none for capacity <= 0).
    void reserve(std::int32_t capacity) {
        live_.reset();
        scratch_.reset();
        capacity_ = 0;
        clear();
        if (capacity <= 0) return;
        live_ = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(capacity));
        scratch_ = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(capacity));
        capacity_ = capacity;
    }

    std::int32_t capacity() const noexcept { return capacity_; }
    std::int32_t size() const noexcept {
        if (empty_) return 0;
        return head_ < tail_ ? tail_ - head_ : capacity_ + tail_ - head_;
    }
    bool empty() const noexcept { return empty_; }
    bool full() const noexcept { return size() == capacity_; }

    T at(std::int32_t i) const noexcept {
        if (i < 0 || i >= size()) return T{};
        return live_[slot(i)];
    }
    T back() const noexcept {
        if (empty_) return T{};
        return live_[tail_ == 0 ? capacity_ - 1 : tail_ - 1];
    }

    bool push_back(T value) noexcept {
        if (full()) return false;
        live_[tail_] = value;
        tail_ = tail_ + 1 == capacity_ ? 0 : tail_ + 1;
        empty_ = false;
        return true;
    }
    bool push_front(T value) noexcept {
        if (full()) return false;
        head_ = head_ == 0 ? capacity_ - 1 : head_ - 1;
        live_[head_] = value;
        empty_ = false;
        return true;
    }
    bool pop_back() noexcept {
        if (empty_) return false;
        tail_ = tail_ == 0 ? capacity_ - 1 : tail_ - 1;
        empty_ = tail_ == head_;
        return true;
    }
    bool pop_front() noexcept {
        if (empty_) return false;
        head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
        empty_ = head_ == tail_;
        return true;
    }

    // Puts value in front of the element now at i (i == size appends).
    // The contents are laid out afresh from slot 0 of the scratch buffer,
    // which then becomes the live ring.
    bool insert(std::int32_t i, T value) noexcept {
        const std::int32_t n = size();
        if (i < 0 || i > n) return false;
        if (i == n) return push_back(value);
        if (i == 0) return push_front(value);
        if (n == capacity_) return false;
        copy_out(0, i, scratch_.get());
        scratch_[i] = value;
        copy_out(i, n - i, scratch_.get() + i + 1);
        adopt_scratch(n + 1);
        return true;
    }

    bool erase(std::int32_t i) noexcept {
        const std::int32_t n = size();
        if (i < 0 || i >= n) return false;
        if (i == n - 1) return pop_back();
        if (i == 0) return pop_front();
        copy_out(0, i, scratch_.get());
        copy_out(i + 1, n - i - 1, scratch_.get() + i);
        adopt_scratch(n - 1);
        return true;
    }

    void clear() noexcept {
        head_ = 0;
        tail_ = 0;
        empty_ = true;
    }

private:
    std::int32_t slot(std::int32_t i) const noexcept {
        const std::int32_t s = head_ + i;  // head and i are both below capacity
        return s >= capacity_ ? s - capacity_ : s;
    }

    // Copies count elements, starting at logical index from, to dest: at
    // most two blocks, since the ring wraps at most once.
    void copy_out(std::int32_t from, std::int32_t count, T* dest) const noexcept {
        if (count <= 0) return;
        const std::int32_t first = slot(from);
        const std::int32_t run = std::min(count, capacity_ - first);
        std::memcpy(dest, live_.get() + first, sizeof(T) * static_cast<std::size_t>(run));
        if (run < count)
            std::memcpy(dest + run, live_.get(), sizeof(T) * static_cast<std::size_t>(count - run));
    }

    void adopt_scratch(std::int32_t count) noexcept {
        std::swap(live_, scratch_);
        head_ = 0;
        tail_ = count == capacity_ ? 0 : count;
        empty_ = count == 0;
    }

    std::unique_ptr<T[]> live_;
    std::unique_ptr<T[]> scratch_;
    std::int32_t capacity_ = 0;
    std::int32_t head_ = 0;
    std::int32_t tail_ = 0;
    bool empty_ = true;
};

}  // namespace crv
