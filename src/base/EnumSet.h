// EnumSet: a small set of enumerators kept as bits, for option sets.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace lw {

// A set of enumerators; each enumerator's ordinal is its bit.
template <typename E>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> items)
    {
        for (E e : items) bits_ |= bit(e);
    }
    static constexpr EnumSet FromBits(uint32_t bits)
    {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool Has(E e) const { return (bits_ & bit(e)) != 0; }
    constexpr EnumSet& Include(E e)
    {
        bits_ |= bit(e);
        return *this;
    }
    constexpr EnumSet& Exclude(E e)
    {
        bits_ &= ~bit(e);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr uint32_t Bits() const { return bits_; }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr uint32_t bit(E e) { return uint32_t(1) << unsigned(e); }
    uint32_t bits_ = 0;
};

} // namespace lw
