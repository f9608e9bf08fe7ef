// Owning, 1-based ordered list used for every list of the document model.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

namespace pagelith {

// Owned items in a double-ended array: lookups by position are one step and
// so are appends and inserts at the front, so neither the sequential walks of
// the writer nor a script that adds every page as page 1 degrade with size.
template <class T> class TObjList {
public:
    TObjList() = default;
    TObjList(const TObjList&) = delete;
    TObjList& operator=(const TObjList&) = delete;
    TObjList(TObjList&&) noexcept = default;
    TObjList& operator=(TObjList&&) noexcept = default;

    uint32_t Count() const { return static_cast<uint32_t>(items_.size()); }

    // Position k is unsigned, so negative numbers from callers are out of range.
    T* Item(uint32_t k) const { return (k == 0 || k > items_.size()) ? nullptr : items_[k - 1].get(); }

    // Position 0 or past the end appends; 1 makes the item the first one.
    T& Insert(std::unique_ptr<T> item, uint32_t p) {
        T& ref = *item;
        if (p == 0 || p > items_.size())
            items_.push_back(std::move(item));
        else
            items_.insert(items_.begin() + (p - 1), std::move(item));
        return ref;
    }
    T& Append(std::unique_ptr<T> item) { return Insert(std::move(item), 0); }

    void Clear() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::deque<std::unique_ptr<T>> items_;
};

} // namespace pagelith
