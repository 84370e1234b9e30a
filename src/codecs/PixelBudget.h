#pragma once
#include "codecs/Graphic.h"

#include <cstdint>
#include <string>

namespace tabulonix {

// The largest pixel store a reader may allocate, in bytes (1 GiB unless changed; the
// fuzz harnesses lower it). Readers check width x height x bytes per pixel against it in
// 64 bits before they allocate anything.
uint64_t PixelBudget();
void SetPixelBudget(uint64_t bytes);

// A picture refused by the budget. The message stays the reader's own text; the size is
// kept so that a report can say why.
class EPictureTooLarge : public EInvalidGraphic {
public:
    EPictureTooLarge(const std::string& message, int64_t width, int64_t height)
        : EInvalidGraphic(message), width_(width), height_(height)
    {
    }
    int64_t Width() const { return width_; }
    int64_t Height() const { return height_; }

private:
    int64_t width_, height_;
};

// Throws EInvalidGraphic(errorText) when width or height is not positive, and
// EPictureTooLarge(errorText) when the store would exceed the budget. `bitsPerPixel` may be below
// 8; rows are counted padded to 4 bytes as the surface stores them.
void CheckPixelBudget(int64_t width, int64_t height, int bitsPerPixel,
                      const std::string& errorText);

} // namespace tabulonix
