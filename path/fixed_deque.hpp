// FixedDeque: a ring buffer of fixed capacity for small trivially copyable
// values (the planner keeps node pointers in it). Nothing is allocated after
// reserve. Insert and erase in the middle shift whichever side of the
// position is shorter, one slot, in place. An empty flag tells a full ring
// (head == tail) from an empty one. Every operation that cannot be carried
// out (full, empty, index out of range) returns false and changes nothing;
// reads outside the contents give a value-initialised T.
// Single-threaded; the owner decides the lifetime.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

namespace crv {

template <typename T>
class FixedDeque {
    static_assert(std::is_trivially_copyable_v<T>, "FixedDeque moves its elements with memmove");

public:
    FixedDeque() noexcept = default;
    FixedDeque(const FixedDeque&) = delete;
    FixedDeque& operator=(const FixedDeque&) = delete;
    virtual ~FixedDeque() = default;

    // Drops the contents and the buffer, then holds room for capacity
    // elements (none for capacity <= 0).
    void reserve(std::int32_t capacity) {
        live_.reset();
        capacity_ = 0;
        clear();
        if (capacity <= 0) return;
        live_ = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(capacity));
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
    bool insert(std::int32_t i, T value) noexcept {
        const std::int32_t n = size();
        if (i < 0 || i > n) return false;
        if (i == n) return push_back(value);
        if (i == 0) return push_front(value);
        if (n == capacity_) return false;
        if (i <= n - i) {
            const std::int32_t from = head_;
            head_ = head_ == 0 ? capacity_ - 1 : head_ - 1;
            shift_down(head_, from, i);
        } else {
            shift_up(slot(i), n - i);
            tail_ = tail_ + 1 == capacity_ ? 0 : tail_ + 1;
        }
        live_[slot(i)] = value;
        return true;
    }

    bool erase(std::int32_t i) noexcept {
        const std::int32_t n = size();
        if (i < 0 || i >= n) return false;
        if (i == n - 1) return pop_back();
        if (i == 0) return pop_front();
        if (i < n - 1 - i) {
            shift_up(head_, i);
            head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
        } else {
            shift_down(slot(i), slot(i + 1), n - i - 1);
            tail_ = tail_ == 0 ? capacity_ - 1 : tail_ - 1;
        }
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

    // Moves count elements starting at physical slot from one slot down, to
    // to (from - 1, wrapping), front to back in runs that do not wrap.
    void shift_down(std::int32_t to, std::int32_t from, std::int32_t count) noexcept {
        while (count > 0) {
            const std::int32_t run = std::min({count, capacity_ - from, capacity_ - to});
            std::memmove(live_.get() + to, live_.get() + from, sizeof(T) * static_cast<std::size_t>(run));
            from = from + run == capacity_ ? 0 : from + run;
            to = to + run == capacity_ ? 0 : to + run;
            count -= run;
        }
    }

    // Moves count elements starting at physical slot from one slot up,
    // back to front in runs that do not wrap. Ends are kept in 1..capacity
    // so that a run always lies below its end.
    void shift_up(std::int32_t from, std::int32_t count) noexcept {
        std::int32_t from_end = from + count;
        if (from_end > capacity_) from_end -= capacity_;
        std::int32_t to_end = from_end == capacity_ ? 1 : from_end + 1;
        while (count > 0) {
            const std::int32_t run = std::min({count, from_end, to_end});
            std::memmove(live_.get() + to_end - run, live_.get() + from_end - run,
                         sizeof(T) * static_cast<std::size_t>(run));
            from_end = from_end == run ? capacity_ : from_end - run;
            to_end = to_end == run ? capacity_ : to_end - run;
            count -= run;
        }
    }

    std::unique_ptr<T[]> live_;
    std::int32_t capacity_ = 0;
    std::int32_t head_ = 0;
    std::int32_t tail_ = 0;
    bool empty_ = true;
};

}  // namespace crv
