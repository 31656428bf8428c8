/// @file
/// DynArray: the run-time's array value (see @ref values).
///
/// Up to four dimensions of one element kind (std::uint8_t, std::int32_t,
/// double or DynString), first index fastest, every access bounds-checked.
/// Assignment copies every element. An index out of range is fatal: the
/// bounds report goes to the debugger, the error code becomes 9 and the
/// program ends. **Threads:** game thread only.
#pragma once

#include <corvane/dyn_string.hpp>

#include <cstdint>
#include <initializer_list>

namespace crv {

/// @addtogroup values
/// @{

/// An array value: see the top of this file.
template <typename T>
class DynArray {
public:
    /// An empty array without dimensions.
    DynArray() noexcept = default;
    /// A copy of every element and the sizes.
    DynArray(const DynArray& other);
    /// Takes the other's elements; the other becomes empty.
    DynArray(DynArray&& other) noexcept;
    /// Copies every element and the sizes.
    DynArray& operator=(const DynArray& other);
    /// Takes the other's elements; the other becomes empty.
    DynArray& operator=(DynArray&& other) noexcept;
    /// Frees the elements.
    ~DynArray();

    /// Gives the array these sizes (0 for absent dimensions) and clears it.
    void set_dimensions(int first, int second = 0, int third = 0, int fourth = 0);
    /// New sizes, keeping the elements whose indices fit both old and new.
    void resize_keep(int first, int second = 0, int third = 0, int fourth = 0);

    /// The element at (i, j, k, l). A negative first index counts from the
    /// end (once). Indices of absent dimensions must be 0. An index out of
    /// range is fatal: the bounds report goes to the debugger, error code 9,
    /// then end_program; only while an end is already under way does the
    /// call return, with a scratch element that is not part of the array.
    T& element_at(int i, int j = 0, int k = 0, int l = 0) {
        if (i < 0) i += size1_;
        if (elements_ != nullptr && i >= 0 && i < size1_ && in_dimension(j, size2_) &&
            in_dimension(k, size3_) && in_dimension(l, size4_))
            return elements_[i + j * stride2_ + k * stride3_ + l * stride4_];
        return out_of_range(i, j, k, l);
    }
    /// element_at of a const array.
    const T& element_at(int i, int j = 0, int k = 0, int l = 0) const {
        return const_cast<DynArray*>(this)->element_at(i, j, k, l);
    }
    /// element_at(i, j, k, l).
    T& operator()(int i, int j = 0, int k = 0, int l = 0) { return element_at(i, j, k, l); }
    /// element_at(i, j, k, l).
    const T& operator()(int i, int j = 0, int k = 0, int l = 0) const { return element_at(i, j, k, l); }

    /// size1..size4 for 0..3; anything else gives 0.
    int dimension_size(int dimension) const noexcept;
    /// Adds value as a new last element of a one-dimensional array (or an
    /// array without dimensions). Fatal (error 8, then end_program) on an
    /// array with a second dimension.
    void append_element(const T& value);
    /// Makes this array a copy of source (elements and sizes).
    void copy_from(const DynArray& source);
    /// (count, 0, 0, 0) and element i = values[i]; count <= 0 leaves it empty.
    void fill_values(int count, const T* values);
    /// fill_values from a list.
    void fill_values(std::initializer_list<T> values);
    /// The "bounds: " and "access: " lines through debug_print.
    void report_out_of_range(int i, int j, int k, int l) const;

    /// The elements in storage order (first index fastest); null when empty.
    const T* elements() const noexcept { return elements_; }
    /// The elements in storage order (first index fastest); null when empty.
    T* elements() noexcept { return elements_; }
    /// The size of the first dimension.
    int size1() const noexcept { return size1_; }
    /// The size of the second dimension (0: absent).
    int size2() const noexcept { return size2_; }
    /// The size of the third dimension (0: absent).
    int size3() const noexcept { return size3_; }
    /// The size of the fourth dimension (0: absent).
    int size4() const noexcept { return size4_; }
    /// Elements between consecutive second indices.
    int stride2() const noexcept { return stride2_; }
    /// Elements between consecutive third indices.
    int stride3() const noexcept { return stride3_; }
    /// Elements between consecutive fourth indices.
    int stride4() const noexcept { return stride4_; }
    /// The number of dimensions set (0..4).
    int dimensions() const noexcept { return dimensions_; }
    /// The elements the storage holds without growing.
    int element_capacity() const noexcept { return element_capacity_; }
    /// max(size1, 0) x max(1, size2) x max(1, size3) x max(1, size4).
    std::int64_t element_count() const noexcept;

private:
    static bool in_dimension(int index, int size) noexcept {
        return size == 0 ? index == 0 : (index >= 0 && index < size);
    }
    T& out_of_range(int i, int j, int k, int l);
    void free_block() noexcept;
    void set_sizes(int first, int second, int third, int fourth) noexcept;
    void swap(DynArray& other) noexcept;

    T* elements_ = nullptr;
    std::int32_t stride2_ = 0;
    std::int32_t stride3_ = 0;
    std::int32_t stride4_ = 0;
    std::int32_t size1_ = 0;
    std::int32_t size2_ = 0;
    std::int32_t size3_ = 0;
    std::int32_t size4_ = 0;
    std::int32_t dimensions_ = 0;
    std::int32_t element_capacity_ = 0;
};

/// The element kinds the run-time provides.
extern template class DynArray<std::uint8_t>;
extern template class DynArray<std::int32_t>;
extern template class DynArray<double>;
extern template class DynArray<DynString>;

/// @}

}  // namespace crv
