#include <corvane/dyn_array.hpp>

#include <corvane/core.hpp>

#include <algorithm>
#include <climits>
#include <new>
#include <type_traits>
#include <utility>

namespace crv {

namespace {

std::int64_t count_for(int first, int second, int third, int fourth) {
    return std::int64_t{std::max(first, 0)} * std::max(1, second) * std::max(1, third) *
           std::max(1, fourth);
}

// Capacity of a block that must grow to hold count elements: numeric blocks
// step by 8, byte and text blocks by 64 (none for an empty array).
template <typename T>
std::int64_t grown_capacity(std::int64_t count) {
    if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, double>) {
        return count / 8 * 8 + 8;
    } else {
        return count == 0 ? 0 : count / 64 * 64 + 64;
    }
}

// Elements per dimension that hold data: an absent dimension (size 0)
// still has index 0, a negative size has none.
int extent(int size) { return size == 0 ? 1 : std::max(size, 0); }

DynString bracketed(int number) {
    DynString text("[");
    text += format_fixed(4, 0, number);
    text += "]";
    return text;
}

}  // namespace

template <typename T>
DynArray<T>::DynArray(const DynArray& other) {
    copy_from(other);
}

template <typename T>
DynArray<T>::DynArray(DynArray&& other) noexcept {
    swap(other);
}

template <typename T>
DynArray<T>& DynArray<T>::operator=(const DynArray& other) {
    if (this != &other) copy_from(other);
    return *this;
}

template <typename T>
DynArray<T>& DynArray<T>::operator=(DynArray&& other) noexcept {
    if (this != &other) {
        DynArray empty;
        swap(empty);
        swap(other);
    }
    return *this;
}

template <typename T>
DynArray<T>::~DynArray() {
    free_block();
}

template <typename T>
void DynArray<T>::swap(DynArray& other) noexcept {
    std::swap(elements_, other.elements_);
    std::swap(stride2_, other.stride2_);
    std::swap(stride3_, other.stride3_);
    std::swap(stride4_, other.stride4_);
    std::swap(size1_, other.size1_);
    std::swap(size2_, other.size2_);
    std::swap(size3_, other.size3_);
    std::swap(size4_, other.size4_);
    std::swap(dimensions_, other.dimensions_);
    std::swap(element_capacity_, other.element_capacity_);
}

template <typename T>
void DynArray<T>::free_block() noexcept {
    delete[] elements_;
    elements_ = nullptr;
    element_capacity_ = 0;
}

template <typename T>
std::int64_t DynArray<T>::element_count() const noexcept {
    return count_for(size1_, size2_, size3_, size4_);
}

template <typename T>
void DynArray<T>::set_sizes(int first, int second, int third, int fourth) noexcept {
    size1_ = std::max(first, 0);
    size2_ = second;
    size3_ = third;
    size4_ = fourth;
    // With negative sizes no access is ever in range, so wrapped strides
    // are never used; with valid sizes the products fit.
    stride2_ = size1_;
    stride3_ = static_cast<std::int32_t>(std::int64_t{second} * size1_);
    stride4_ = static_cast<std::int32_t>(std::int64_t{second} * size1_ * third);
    dimensions_ = fourth != 0 ? 4 : third != 0 ? 3 : second != 0 ? 2 : size1_ > 0 ? 1 : 0;
}

template <typename T>
void DynArray<T>::set_dimensions(int first, int second, int third, int fourth) {
    std::int64_t n = count_for(first, second, third, fourth);
    if (n > INT_MAX) throw std::bad_alloc();
    if (element_capacity_ < n || first <= 0 || elements_ == nullptr) {
        std::int64_t capacity = grown_capacity<T>(n);
        if (capacity > INT_MAX) throw std::bad_alloc();
        T* block = capacity > 0 ? new T[static_cast<std::size_t>(capacity)]() : nullptr;
        free_block();
        elements_ = block;
        element_capacity_ = static_cast<std::int32_t>(capacity);
    } else {
        for (std::int64_t e = 0; e < n; ++e) elements_[e] = T();
    }
    set_sizes(first, second, third, fourth);
}

template <typename T>
void DynArray<T>::resize_keep(int first, int second, int third, int fourth) {
    if (first < 1) {
        size1_ = size2_ = size3_ = size4_ = 0;
        stride2_ = stride3_ = stride4_ = 0;
        dimensions_ = 0;
        return;
    }
    std::int64_t n = count_for(first, second, third, fourth);
    bool one_dimensional = size2_ == 0 && size3_ == 0 && size4_ == 0 && second == 0 &&
                           third == 0 && fourth == 0;
    if (one_dimensional && elements_ != nullptr && n <= element_capacity_) {
        // Growing or shrinking a plain list inside its block: the kept
        // elements stay where they are, the rest are cleared.
        for (int e = std::min(size1_, first); e < std::max(size1_, first); ++e) elements_[e] = T();
        set_sizes(first, 0, 0, 0);
        return;
    }
    DynArray fresh;
    fresh.set_dimensions(first, second, third, fourth);
    if (elements_ != nullptr) {
        int m1 = std::min(size1_, first);
        int m2 = std::min(extent(size2_), extent(second));
        int m3 = std::is_same_v<T, DynString> ? 1 : std::min(extent(size3_), extent(third));
        int m4 = std::is_same_v<T, DynString> ? 1 : std::min(extent(size4_), extent(fourth));
        for (int l = 0; l < m4; ++l)
            for (int k = 0; k < m3; ++k)
                for (int j = 0; j < m2; ++j)
                    for (int i = 0; i < m1; ++i)
                        fresh.elements_[i + j * fresh.stride2_ + k * fresh.stride3_ + l * fresh.stride4_] =
                            std::move(elements_[i + j * stride2_ + k * stride3_ + l * stride4_]);
    }
    swap(fresh);
}

template <typename T>
int DynArray<T>::dimension_size(int dimension) const noexcept {
    switch (dimension) {
        case 0: return size1_;
        case 1: return size2_;
        case 2: return size3_;
        case 3: return size4_;
        default: return 0;
    }
}

template <typename T>
void DynArray<T>::append_element(const T& value) {
    if (size2_ != 0) {
        set_error(8);
        end_program();
        return;
    }
    T copy(value);  // the value may be one of our own elements
    resize_keep(size1_ + 1, size2_, size3_, size4_);
    elements_[size1_ - 1] = std::move(copy);
}

template <typename T>
void DynArray<T>::copy_from(const DynArray& source) {
    if (this == &source) return;
    set_dimensions(source.size1_, source.size2_, source.size3_, source.size4_);
    std::int64_t n = element_count();
    for (std::int64_t e = 0; e < n && source.elements_ != nullptr; ++e) elements_[e] = source.elements_[e];
}

template <typename T>
void DynArray<T>::fill_values(int count, const T* values) {
    set_dimensions(count, 0, 0, 0);
    for (int i = 0; i < count; ++i) elements_[i] = values[i];
}

template <typename T>
void DynArray<T>::fill_values(std::initializer_list<T> values) {
    fill_values(static_cast<int>(values.size()), values.begin());
}

template <typename T>
void DynArray<T>::report_out_of_range(int i, int j, int k, int l) const {
    DynString bounds = bracketed(size1_);
    DynString access = bracketed(i);
    const int sizes[3] = {size2_, size3_, size4_};
    const int indices[3] = {j, k, l};
    for (int d = 0; d < 3 && sizes[d] > 0; ++d) {
        bounds += bracketed(sizes[d]);
        access += bracketed(indices[d]);
    }
    debug_print("bounds: " + bounds + "\n");
    debug_print("access: " + access + "\n");
}

template <typename T>
T& DynArray<T>::out_of_range(int i, int j, int k, int l) {
    report_out_of_range(i, j, k, l);
    set_error(9);
    end_program();
    // Only reached while an end is already under way: hand out a scratch
    // element so that the access never touches the block.
    static T scratch;
    scratch = T();
    return scratch;
}

template class DynArray<std::uint8_t>;
template class DynArray<std::int32_t>;
template class DynArray<double>;
template class DynArray<DynString>;

}  // namespace crv
