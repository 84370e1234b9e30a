#pragma once
// The string table of an LZW decoder. GIF and TIFF build it alike; they differ in how the
// codes are packed (GIF least significant bit first, TIFF most significant bit first with
// the code width growing one code early) and in their first codes.
#include <array>
#include <cstdint>

namespace tabulonix {

class TLzwTable {
  public:
    static constexpr int kCodes = 4096; // codes are at most 12 bits wide

    // Codes 0 .. roots - 1 stand for themselves.
    explicit TLzwTable(int roots) : roots_(roots)
    {
        for (int c = 0; c < roots && c < kCodes; ++c) {
            prefix_[static_cast<size_t>(c)] = 0;
            suffix_[static_cast<size_t>(c)] = static_cast<uint16_t>(c);
            first_[static_cast<size_t>(c)] = static_cast<uint16_t>(c);
        }
    }

    // The first value of the string of `code`.
    uint16_t First(int code) const { return first_[static_cast<size_t>(code)]; }

    // Enters code `next` as the string of `previous` followed by `value`.
    void Add(int next, int previous, uint16_t value)
    {
        prefix_[static_cast<size_t>(next)] = static_cast<uint16_t>(previous);
        suffix_[static_cast<size_t>(next)] = value;
        first_[static_cast<size_t>(next)] = first_[static_cast<size_t>(previous)];
    }

    // Hands the values of the string of `code` to `put` in order, until `put` returns
    // false. False, with nothing handed on, when the chain does not end at a root (a
    // damaged table).
    template <class Put> bool Emit(int code, Put&& put)
    {
        size_t depth = 0;
        while (code >= roots_) {
            if (depth >= kCodes || prefix_[static_cast<size_t>(code)] == code)
                return false;
            stack_[depth++] = suffix_[static_cast<size_t>(code)];
            code = prefix_[static_cast<size_t>(code)];
        }
        stack_[depth++] = static_cast<uint16_t>(code);
        while (depth > 0 && put(stack_[--depth])) {
        }
        return true;
    }

  private:
    int roots_;
    std::array<uint16_t, kCodes> prefix_{};
    std::array<uint16_t, kCodes> suffix_{};
    std::array<uint16_t, kCodes> first_{};
    std::array<uint16_t, kCodes + 1> stack_{};
};

} // namespace tabulonix
