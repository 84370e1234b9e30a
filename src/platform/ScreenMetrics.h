#pragma once

namespace tabulonix {

// The reference screen that metafile sizes and device-format bitmaps are measured against.
// This build has no display to ask, so the values are fixed; pictures carry theirs in
// their DecodeLimits, and tests make other ones.
struct ScreenMetrics {
    // 1920 x 1440 pixels on 508 x 381 mm is exactly 96 pixels per inch in both directions,
    // so metafile sizes in 0.01 mm and in pixels convert back and forth without drift.
    int pixelsPerInch = 96;     // logical pixels per inch, both directions
    int widthPixels = 1920;     // HORZRES
    int heightPixels = 1440;    // VERTRES
    int widthMillimetres = 508; // HORZSIZE
    int heightMillimetres = 381;
    int bitsPerPixel = 32; // the display depth: blue, green, red, unused
};

} // namespace tabulonix
