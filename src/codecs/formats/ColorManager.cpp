#include "codecs/formats/ColorManager.h"

#include "codecs/core/ByteReader.h"

#include <algorithm>
#include <cmath>

namespace tabulonix {

const char* const kIndexedConversionError =
    "Conversion between indexed and non-indexed pixel formats is not supported.";
const char* const kNoConversionMethod = "Color conversion failed. Could not find a proper method.";
const char* const kInvalidColorDepth =
    "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
const char* const kSampleCountMismatch =
    "Sample count per pixel does not correspond to the given color scheme.";
const char* const kInvalidSubsampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
const char* const kVerticalSubsampling =
    "Vertical subsampling value must be <= horizontal subsampling value.";

namespace {

// Rounding as everywhere in the program: halves to the even neighbour (the default
// floating-point rounding mode).
int RoundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

int Clamp255(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

bool ValidBits(int bits)
{
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
}

bool IsIndexedSource(TColorScheme s)
{
    return s == csIndexed || s == csG || s == csGA;
}
bool IsIndexedTarget(TColorScheme s)
{
    return s == csIndexed || s == csG;
}
bool IsColorTarget(TColorScheme s)
{
    return s == csRGB || s == csRGBA || s == csBGR || s == csBGRA;
}
bool IsBlueFirst(TColorScheme s)
{
    return s == csBGR || s == csBGRA;
}
bool HasAlphaScheme(TColorScheme s)
{
    return s == csGA || s == csRGBA || s == csBGRA;
}

// Samples a scheme needs at least.
int SamplesOf(TColorScheme s)
{
    switch (s) {
    case csIndexed:
    case csG:
        return 1;
    case csGA:
        return 2;
    case csRGB:
    case csBGR:
    case csCMY:
    case csCIELab:
    case csYCbCr:
    case csPhotoYCC:
        return 3;
    case csRGBA:
    case csBGRA:
    case csCMYK:
        return 4;
    case csUnknown:
        return 0;
    }
    return 0;
}

uint32_t MaxOf(int bits)
{
    return (uint32_t{1} << bits) - 1;
}

// Reads sample `index` of a row of packed samples of `bits` bits (most significant bits
// first for depths below 8; 16-bit values in host order, swapped when stored big-endian).
uint32_t GetSample(const uint8_t* row, size_t index, int bits, bool swap)
{
    switch (bits) {
    case 8:
        return row[index];
    case 16: {
        const uint8_t* p = row + 2 * index;
        return swap ? GetU16BE(p) : GetU16LE(p);
    }
    default: {
        size_t bit = index * static_cast<size_t>(bits);
        unsigned shift = 8 - bits - static_cast<unsigned>(bit & 7);
        return (row[bit >> 3] >> shift) & MaxOf(bits);
    }
    }
}

void PutSample(uint8_t* row, size_t index, int bits, uint32_t value)
{
    switch (bits) {
    case 8:
        row[index] = static_cast<uint8_t>(value);
        break;
    case 16:
        PutU16LE(row + 2 * index, static_cast<uint16_t>(value));
        break;
    default: {
        size_t bit = index * static_cast<size_t>(bits);
        unsigned shift = 8 - bits - static_cast<unsigned>(bit & 7);
        uint8_t m = static_cast<uint8_t>(MaxOf(bits) << shift);
        uint8_t& b = row[bit >> 3];
        b = static_cast<uint8_t>((b & ~m) | ((value << shift) & m));
        break;
    }
    }
}

// Sample `s` of pixel `x` from interleaved or planar sources.
struct SourceRows {
    TRowSources rows;
    int samples;
    int bits;
    bool swap;
    uint32_t Get(int x, int s) const
    {
        if (rows.size() > 1)
            return GetSample(rows[static_cast<size_t>(s)], static_cast<size_t>(x), bits, swap);
        return GetSample(rows[0], static_cast<size_t>(x) * samples + s, bits, swap);
    }
};

// Points base[c] at sample c of the first pixel of whole-byte samples, interleaved or
// planar; returns the distance in bytes from one pixel to the next.
size_t SampleBases(TRowSources rows, int bits, int samples, int channels, const uint8_t* base[4])
{
    const size_t bytes = static_cast<size_t>(bits / 8);
    const bool planar = rows.size() > 1;
    for (int c = 0; c < channels; ++c)
        base[c] = planar ? rows[static_cast<size_t>(c)] : rows[0] + static_cast<size_t>(c) * bytes;
    return planar ? bytes : bytes * static_cast<size_t>(samples);
}

// The whole-row case of RowComponents for 8- and 16-bit samples to 8 bits, with every
// choice made once per row: large pictures spend most of their decoding time here. The
// results are those of the general per-sample loop.
template <int Bits>
void ComponentsTo8(const uint8_t* const base[4], size_t stride, bool byteSwap, int count,
                   int channels, bool crossOrder, const uint8_t* gamma, uint8_t* t,
                   size_t targetSamples)
{
    auto level = [&](int c, size_t x) -> uint8_t {
        const uint8_t* p = base[c] + x * stride;
        if constexpr (Bits == 8)
            return *p;
        else
            return static_cast<uint8_t>(uint32_t{byteSwap ? GetU16BE(p) : GetU16LE(p)} * 255 /
                                        65535);
    };
    const int first = crossOrder ? 2 : 0, third = crossOrder ? 0 : 2;
    for (size_t x = 0; x < static_cast<size_t>(count); ++x) {
        uint8_t* out = t + x * targetSamples;
        uint8_t v0 = level(first, x), v1 = level(1, x), v2 = level(third, x);
        if (gamma) {
            v0 = gamma[v0];
            v1 = gamma[v1];
            v2 = gamma[v2];
        }
        out[0] = v0;
        out[1] = v1;
        out[2] = v2;
        if (channels == 4)
            out[3] = level(3, x);
    }
}

} // namespace

TColorManager::TColorManager()
{
    BuildGammaTable();
}

void TColorManager::SetSourceBitsPerSample(int bits)
{
    sourceBits_ = bits;
    Changed();
}
void TColorManager::SetTargetBitsPerSample(int bits)
{
    targetBits_ = bits;
    Changed();
}
void TColorManager::SetSourceSamplesPerPixel(int samples)
{
    sourceSamples_ = samples;
    Changed();
}
void TColorManager::SetTargetSamplesPerPixel(int samples)
{
    targetSamples_ = samples;
    Changed();
}
void TColorManager::SetSourceColorScheme(TColorScheme scheme)
{
    sourceScheme_ = scheme;
    Changed();
}
void TColorManager::SetTargetColorScheme(TColorScheme scheme)
{
    targetScheme_ = scheme;
    Changed();
}
void TColorManager::SetSourceOptions(TConvertOptions options)
{
    sourceOptions_ = options;
    Changed();
}
void TColorManager::SetTargetOptions(TConvertOptions options)
{
    targetOptions_ = options;
    Changed();
}

void TColorManager::ConfigureGamma(double displayGamma, double mainGamma)
{
    displayGamma_ = displayGamma > 0 ? displayGamma : 2.2;
    mainGamma_ = mainGamma > 0 ? mainGamma : 1.0;
    BuildGammaTable();
    Changed();
}

void TColorManager::ConfigureYCbCr(double kr, double kg, double kb, int horizontal, int vertical)
{
    auto valid = [](int v) { return v == 1 || v == 2 || v == 4; };
    if (!valid(horizontal) || !valid(vertical))
        throw EColorConversionError(kInvalidSubsampling);
    if (vertical > horizontal)
        throw EColorConversionError(kVerticalSubsampling);
    coefficients_ = {kr, kg, kb};
    hSubsampling_ = horizontal;
    vSubsampling_ = vertical;
    Changed();
}

void TColorManager::BuildGammaTable()
{
    // The input range is the target's when the source has fewer than 8 bits (the packer
    // has rescaled the sample already), the output range the target's below 8 bits.
    int c = 255, m = 255;
    if (ValidBits(targetBits_) && targetBits_ < 8) {
        m = static_cast<int>(MaxOf(targetBits_));
        if (sourceBits_ < 8)
            c = m;
    }
    double exponent = 1.0 / (mainGamma_ * displayGamma_);
    for (int i = 0; i <= 255; ++i) {
        // Entries beyond the input range saturate, so no index can read garbage.
        int v = i <= c ? RoundEven(std::pow(static_cast<double>(i) / c, exponent) * m) : m;
        gammaTable_[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
    }
}

uint8_t TColorManager::Gamma8(uint8_t value) const
{
    // Palettes always carry 8-bit values, whatever the sample depths.
    double exponent = 1.0 / (mainGamma_ * displayGamma_);
    return static_cast<uint8_t>(Clamp255(RoundEven(std::pow(value / 255.0, exponent) * 255)));
}

void TColorManager::BuildYCbCrTables()
{
    double kr = coefficients_[0], kg = coefficients_[1], kb = coefficients_[2];
    bool ycc = sourceScheme_ == csPhotoYCC;
    for (int i = 0; i < 256; ++i) {
        double vr = i - (ycc ? 137 : 128);
        double vb = i - (ycc ? 156 : 128);
        crToRed_[static_cast<size_t>(i)] = RoundEven((2 - 2 * kr) * vr);
        cbToBlue_[static_cast<size_t>(i)] = RoundEven((2 - 2 * kb) * vb);
        crToGreen_[static_cast<size_t>(i)] = kg != 0 ? -RoundEven(kr * (2 - 2 * kr) / kg * vr) : 0;
        cbToGreen_[static_cast<size_t>(i)] = kg != 0 ? -RoundEven(kb * (2 - 2 * kb) / kg * vb) : 0;
    }
}

void TColorManager::Prepare()
{
    if (prepared_)
        return;
    if (IsIndexedSource(sourceScheme_) != IsIndexedTarget(targetScheme_))
        throw EColorConversionError(kIndexedConversionError);
    if (!ValidBits(sourceBits_) || !ValidBits(targetBits_))
        throw EColorConversionError(kInvalidColorDepth);
    int needSource = SamplesOf(sourceScheme_), needTarget = SamplesOf(targetScheme_);
    if (sourceSamples_ < 1 || sourceSamples_ > 4 || (needSource && sourceSamples_ < needSource) ||
        (IsIndexedSource(sourceScheme_) && sourceSamples_ != needSource) ||
        (needTarget && targetSamples_ != needTarget) || targetSamples_ < 1 || targetSamples_ > 4)
        throw EColorConversionError(kSampleCountMismatch);

    // The alpha options follow the schemes.
    sourceOptions_ =
        HasAlphaScheme(sourceScheme_) ? (sourceOptions_ | coAlpha) : (sourceOptions_ & ~coAlpha);
    targetOptions_ =
        HasAlphaScheme(targetScheme_) ? (targetOptions_ | coAlpha) : (targetOptions_ & ~coAlpha);

    routine_ = rtNone;
    swapRedBlue_ = false;
    if (IsIndexedSource(sourceScheme_)) {
        routine_ = rtPacker;
    } else if (IsColorTarget(targetScheme_)) {
        switch (sourceScheme_) {
        case csRGB:
        case csRGBA:
        case csBGR:
        case csBGRA:
            routine_ = rtComponents;
            swapRedBlue_ = IsBlueFirst(sourceScheme_) != IsBlueFirst(targetScheme_);
            break;
        case csCMYK:
            routine_ = rtCMYK;
            break;
        case csCIELab:
            routine_ = rtLab;
            break;
        case csYCbCr:
        case csPhotoYCC:
            routine_ = rtYCbCr;
            BuildYCbCrTables();
            break;
        default:
            break;
        }
    }
    BuildGammaTable();
    prepared_ = true;
}

TPixelFormat TColorManager::PixelFormatOfTarget() const
{
    int bits = targetBits_;
    switch (targetSamples_) {
    case 1:
        if (bits == 1)
            return pf1bit;
        if (bits >= 2 && bits <= 4)
            return pf4bit;
        if (bits >= 8 && bits <= 16)
            return pf8bit;
        break;
    case 3:
        if (bits >= 1 && bits <= 5)
            return pf15bit;
        return pf24bit;
    case 4:
        if (bits >= 8)
            return pf32bit;
        break;
    default:
        break;
    }
    return pfCustom;
}

uint8_t TColorManager::To8(uint32_t value, int bits) const
{
    if (bits == 8)
        return static_cast<uint8_t>(value);
    if (bits == 16)
        return static_cast<uint8_t>(value * 255 / 65535);
    return static_cast<uint8_t>(value * 255 / MaxOf(bits));
}

uint16_t TColorManager::ScaleSample(uint32_t value, int bits, bool gamma) const
{
    gamma = gamma && (targetOptions_ & coApplyGamma);
    switch (targetBits_) {
    case 8: {
        uint8_t v = To8(value, bits);
        return gamma ? gammaTable_[v] : v;
    }
    case 16:
        if (bits == 16)
            return static_cast<uint16_t>(value);
        if (bits == 8)
            return static_cast<uint16_t>(value * 65535 / 255);
        return static_cast<uint16_t>(value * 65535 / MaxOf(bits));
    default: {
        uint32_t tmax = MaxOf(targetBits_);
        if (bits < 8) {
            uint32_t v = value * tmax / MaxOf(bits);
            return gamma ? gammaTable_[v] : static_cast<uint16_t>(v);
        }
        uint8_t v8 = To8(value, bits);
        return gamma ? gammaTable_[v8] : static_cast<uint16_t>(v8 * tmax / 255);
    }
    }
}

void TColorManager::WriteColor(uint8_t* target, int x, uint32_t r, uint32_t g, uint32_t b, int bits,
                               const uint32_t* alpha) const
{
    // r, g, b (and alpha) are already at the target depth.
    bool blueFirst = IsBlueFirst(targetScheme_);
    bool withAlpha = (targetOptions_ & coAlpha) != 0;
    if (bits < 8) {
        // Three small samples share one 16-bit 5-5-5 pixel.
        uint32_t tmax = MaxOf(bits);
        auto to5 = [&](uint32_t v) { return v * 31 / tmax; };
        uint32_t v = (to5(r) << 10) | (to5(g) << 5) | to5(b);
        PutU16LE(target + 2 * static_cast<size_t>(x), static_cast<uint16_t>(v));
        return;
    }
    size_t base = static_cast<size_t>(x) * targetSamples_;
    uint32_t first = blueFirst ? b : r, third = blueFirst ? r : b;
    PutSample(target, base, bits, first);
    PutSample(target, base + 1, bits, g);
    PutSample(target, base + 2, bits, third);
    if (withAlpha && alpha)
        PutSample(target, base + 3, bits, *alpha);
}

void TColorManager::TranslateRow(TRowSources sources, int count, uint8_t* target)
{
    Prepare();
    if (count <= 0)
        return;
    if (sources.empty() || !sources[0] || !target)
        throw EColorConversionError(kNoConversionMethod);
    if (sources.size() > 1 && sources.size() < static_cast<size_t>(sourceSamples_))
        throw EColorConversionError(kSampleCountMismatch);
    switch (routine_) {
    case rtPacker:
        RowPacker(sources, count, target);
        break;
    case rtComponents:
        RowComponents(sources, count, target);
        break;
    case rtCMYK:
        RowCMYK(sources, count, target);
        break;
    case rtLab:
        RowLab(sources, count, target);
        break;
    case rtYCbCr:
        RowYCbCr(sources, count, target);
        break;
    case rtNone:
        throw EColorConversionError(kNoConversionMethod);
    }
}

void TColorManager::RowPacker(TRowSources s, int count, uint8_t* t)
{
    bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    if (sourceBits_ == targetBits_ && sourceBits_ <= 8 && sourceSamples_ == 1) {
        std::copy_n(s[0], (static_cast<size_t>(count) * sourceBits_ + 7) / 8, t);
        return;
    }
    SourceRows src{s, sourceSamples_, sourceBits_, swap};
    for (int x = 0; x < count; ++x) {
        uint32_t v = src.Get(x, 0);
        uint32_t out;
        if (targetBits_ == 16) {
            out = sourceBits_ == 16 ? v : v * 65535 / MaxOf(sourceBits_);
        } else if (sourceBits_ == 16) {
            uint32_t v8 = v * 255 / 65535;
            out = v8 * MaxOf(targetBits_) / 255;
        } else if (sourceScheme_ == csIndexed) {
            // Indices are not levels: widening a 2-bit index to 4 bits keeps its value.
            out = std::min(v, MaxOf(targetBits_));
        } else {
            out = v * MaxOf(targetBits_) / MaxOf(sourceBits_);
        }
        PutSample(t, static_cast<size_t>(x), targetBits_, out);
    }
}

void TColorManager::RowComponents(TRowSources s, int count, uint8_t* t)
{
    bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    bool alpha = (sourceOptions_ & coAlpha) && (targetOptions_ & coAlpha);
    bool sourceBlueFirst = IsBlueFirst(sourceScheme_);
    if (targetBits_ == 8 && (sourceBits_ == 8 || sourceBits_ == 16)) {
        const int channels = alpha ? 4 : 3;
        const uint8_t* base[4] = {};
        const size_t stride = SampleBases(s, sourceBits_, sourceSamples_, channels, base);
        const bool cross = sourceBlueFirst != IsBlueFirst(targetScheme_);
        const uint8_t* gamma = (targetOptions_ & coApplyGamma) ? gammaTable_.data() : nullptr;
        const size_t ts = static_cast<size_t>(targetSamples_);
        if (sourceBits_ == 8)
            ComponentsTo8<8>(base, stride, swap, count, channels, cross, gamma, t, ts);
        else
            ComponentsTo8<16>(base, stride, swap, count, channels, cross, gamma, t, ts);
        return;
    }
    SourceRows src{s, sourceSamples_, sourceBits_, swap};
    for (int x = 0; x < count; ++x) {
        uint32_t v0 = ScaleSample(src.Get(x, 0), sourceBits_, true);
        uint32_t v1 = ScaleSample(src.Get(x, 1), sourceBits_, true);
        uint32_t v2 = ScaleSample(src.Get(x, 2), sourceBits_, true);
        uint32_t r = sourceBlueFirst ? v2 : v0, b = sourceBlueFirst ? v0 : v2;
        uint32_t a = 0;
        if (alpha)
            a = ScaleSample(src.Get(x, 3), sourceBits_, false);
        WriteColor(t, x, r, v1, b, targetBits_, alpha ? &a : nullptr);
    }
}

void TColorManager::RowCMYK(TRowSources s, int count, uint8_t* t)
{
    bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    SourceRows src{s, sourceSamples_, sourceBits_, swap};
    bool wide = sourceBits_ == 16;
    int max = wide ? 65535 : 255;
    for (int x = 0; x < count; ++x) {
        int v[4];
        for (int i = 0; i < 4; ++i) {
            uint32_t raw = src.Get(x, i);
            v[i] = static_cast<int>(wide || sourceBits_ == 8 ? raw : To8(raw, sourceBits_));
        }
        int k = v[3];
        auto channel = [&](int c) {
            int64_t r = static_cast<int64_t>(c) * k / max - c - k + max;
            return static_cast<uint32_t>(std::clamp<int64_t>(r, 0, max));
        };
        int bits = wide ? 16 : 8;
        uint32_t r = ScaleSample(channel(v[0]), bits, true);
        uint32_t g = ScaleSample(channel(v[1]), bits, true);
        uint32_t b = ScaleSample(channel(v[2]), bits, true);
        WriteColor(t, x, r, g, b, targetBits_, nullptr);
    }
}

void TColorManager::RowLab(TRowSources s, int count, uint8_t* t)
{
    bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    SourceRows src{s, sourceSamples_, sourceBits_, swap};
    for (int x = 0; x < count; ++x) {
        uint8_t lb = To8(src.Get(x, 0), sourceBits_);
        uint8_t ab = To8(src.Get(x, 1), sourceBits_);
        uint8_t bb = To8(src.Get(x, 2), sourceBits_);
        double L = (sourceOptions_ & coLabByteRange) ? lb / 2.55 : lb;
        double a, b;
        if (sourceOptions_ & coLabChromaOffset) {
            a = ab - 128.0;
            b = bb - 128.0;
        } else {
            a = static_cast<int8_t>(ab);
            b = static_cast<int8_t>(bb);
        }
        double X, Y, Z;
        if (L < 7.9996) {
            Y = L / 903.3;
            X = Y + a / 3893.5;
            Z = Y - b / 1557.4;
        } else {
            double f = (L + 16) / 116;
            X = std::pow(f + a / 500, 3);
            Y = f * f * f;
            Z = std::pow(f - b / 200, 3);
        }
        int blue = Clamp255(RoundEven((0.099 * X - 0.198 * Y + 1.099 * Z) * 255));
        int green = Clamp255(RoundEven((-0.952 * X + 1.893 * Y + 0.059 * Z) * 255));
        int red = Clamp255(RoundEven((2.998 * X - 1.458 * Y - 0.541 * Z) * 255));
        WriteColor(t, x, ScaleSample(static_cast<uint32_t>(red), 8, true),
                   ScaleSample(static_cast<uint32_t>(green), 8, true),
                   ScaleSample(static_cast<uint32_t>(blue), 8, true), targetBits_, nullptr);
    }
}

void TColorManager::RowYCbCr(TRowSources s, int count, uint8_t* t)
{
    if (sourceBits_ == 8 && targetBits_ == 8) {
        // Whole 8-bit rows: the same arithmetic without the per-sample dispatch.
        const uint8_t* base[4] = {};
        const size_t stride = SampleBases(s, 8, sourceSamples_, 3, base);
        const bool blueFirst = IsBlueFirst(targetScheme_);
        const bool gamma = (targetOptions_ & coApplyGamma) != 0;
        const size_t ts = static_cast<size_t>(targetSamples_);
        for (size_t x = 0; x < static_cast<size_t>(count); ++x) {
            const size_t at = x * stride;
            int y = base[0][at];
            size_t cb = base[1][at], cr = base[2][at];
            int blue = Clamp255(y + cbToBlue_[cb]);
            int green = Clamp255(y + cbToGreen_[cb] + crToGreen_[cr]);
            int red = Clamp255(y + crToRed_[cr]);
            if (gamma) {
                blue = gammaTable_[static_cast<size_t>(blue)];
                green = gammaTable_[static_cast<size_t>(green)];
                red = gammaTable_[static_cast<size_t>(red)];
            }
            uint8_t* out = t + x * ts;
            out[0] = static_cast<uint8_t>(blueFirst ? blue : red);
            out[1] = static_cast<uint8_t>(green);
            out[2] = static_cast<uint8_t>(blueFirst ? red : blue);
        }
        return;
    }
    bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    SourceRows src{s, sourceSamples_, sourceBits_, swap};
    for (int x = 0; x < count; ++x) {
        int y = To8(src.Get(x, 0), sourceBits_);
        size_t cb = To8(src.Get(x, 1), sourceBits_);
        size_t cr = To8(src.Get(x, 2), sourceBits_);
        int blue = Clamp255(y + cbToBlue_[cb]);
        int green = Clamp255(y + cbToGreen_[cb] + crToGreen_[cr]);
        int red = Clamp255(y + crToRed_[cr]);
        WriteColor(t, x, ScaleSample(static_cast<uint32_t>(red), 8, true),
                   ScaleSample(static_cast<uint32_t>(green), 8, true),
                   ScaleSample(static_cast<uint32_t>(blue), 8, true), targetBits_, nullptr);
    }
}

TPalette TColorManager::MakeGreyPalette(bool minimumIsWhite)
{
    int bits = std::min(std::max(targetBits_ * targetSamples_, 1), 8);
    int n = 1 << bits;
    int step = 255 / (n - 1);
    bool gamma = (targetOptions_ & coApplyGamma) != 0;
    TPalette palette(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        uint8_t v = static_cast<uint8_t>(i * step);
        if (gamma)
            v = Gamma8(v);
        RGBQuad& q = palette[static_cast<size_t>(minimumIsWhite ? n - 1 - i : i)];
        q.red = q.green = q.blue = v;
        q.reserved = 0;
    }
    return palette;
}

TPalette TColorManager::MakePaletteFromTable(TRowSources tables, TRawPaletteFormat layout,
                                             int count, bool blueFirst)
{
    count = std::clamp(count, 0, 256);
    bool planes = layout == pfPlane8Triple || layout == pfPlane16Triple;
    bool wide =
        layout == pfInterlaced16Triple || layout == pfInterlaced16Quad || layout == pfPlane16Triple;
    size_t stride = (layout == pfInterlaced8Quad || layout == pfInterlaced16Quad) ? 4 : 3;
    if (tables.empty() || (planes && tables.size() < 3))
        throw EColorConversionError(kSampleCountMismatch);
    bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    bool gamma = (targetOptions_ & coApplyGamma) != 0;
    auto value = [&](int entry, int component) -> uint8_t {
        size_t index = planes
                           ? static_cast<size_t>(entry)
                           : static_cast<size_t>(entry) * stride + static_cast<size_t>(component);
        const uint8_t* table = planes ? tables[static_cast<size_t>(component)] : tables[0];
        uint8_t v = wide ? static_cast<uint8_t>(GetSample(table, index, 16, swap) * 255 / 65535)
                         : table[index];
        return gamma ? Gamma8(v) : v;
    };
    TPalette palette(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        uint8_t v0 = value(i, 0), v1 = value(i, 1), v2 = value(i, 2);
        RGBQuad& q = palette[static_cast<size_t>(i)];
        q.red = blueFirst ? v2 : v0;
        q.green = v1;
        q.blue = blueFirst ? v0 : v2;
        q.reserved = 0;
    }
    return palette;
}

} // namespace tabulonix
