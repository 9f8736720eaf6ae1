// A link's aircraft state block as the link reads and writes it: plain
// atomics that GetVar reads field by field on any thread.
#pragma once

#include <atomic>
#include <cmath>

// Each field is read and written whole; a reader may see fields of two
// different states. A value that is no number never gets in: every reader
// would have to guard against it.
template <typename Field>
class LinkStateAccess {
public:
    explicit constexpr LinkStateAccess(std::atomic<double>* fields) : fields_(fields) {}
    double operator[](Field field) const { return fields_[field].load(std::memory_order_relaxed); }
    void Store(Field field, double value) const
    {
        if (std::isfinite(value))
            fields_[field].store(value, std::memory_order_relaxed);
    }

private:
    std::atomic<double>* fields_;
};
