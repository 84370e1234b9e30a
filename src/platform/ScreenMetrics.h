#pragma once

namespace tabulonix {

// The reference screen that metafile sizes are measured against. This build has no
// display to ask, so the values are fixed; tests may replace them.
struct ScreenMetrics {
    int pixelsPerInch = 96;     // logical pixels per inch, both directions
    int widthPixels = 1280;     // HORZRES
    int heightPixels = 1024;    // VERTRES
    int widthMillimetres = 339; // HORZSIZE (1280 px at 96 dpi)
    int heightMillimetres = 271;
    int bitsPerPixel = 32;      // the display depth: blue, green, red, unused
};

const ScreenMetrics& Screen();
void SetScreenMetrics(const ScreenMetrics& metrics); // for tests
void ResetScreenMetrics();

} // namespace tabulonix
