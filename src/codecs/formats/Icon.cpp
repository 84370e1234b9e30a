#include "codecs/formats/Icon.h"

#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/formats/Png.h"
#include "codecs/surface/Canvas.h"
#include "platform/ScreenMetrics.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tabulonix {

namespace {

const char* const kInvalidIcon = "Icon image is not valid";
constexpr int kSystemIconSize = 32;

bool IsPng(const uint8_t* p, size_t n)
{
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return n >= 8 && std::memcmp(p, sig, 8) == 0;
}

} // namespace

void TIcon::ReadStream(TStream& stream)
{
    std::vector<uint8_t> data = stream.ReadRemaining();
    ByteReader in(data.data(), data.size(), kInvalidIcon);
    if (in.Remaining() < 6)
        throw EInvalidGraphic(kInvalidIcon);
    uint16_t reserved = in.U16LE();
    uint16_t type = in.U16LE();
    uint16_t count = in.U16LE();
    (void)reserved;
    if (type != 0 && type != 1)
        throw EInvalidGraphic(kInvalidIcon);
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) {
        if (!in.Has(16))
            break; // a directory longer than the file: the entries that are there count
        Entry e;
        e.width = in.U8();
        e.height = in.U8();
        e.colorCount = in.U8();
        in.U8();
        in.U16LE(); // planes (or hot spot x)
        e.bitCount = in.U16LE();
        e.size = in.U32LE();
        e.offset = in.U32LE();
        if (e.width == 0)
            e.width = 256;
        if (e.height == 0)
            e.height = 256;
        if (e.offset < data.size() && e.size <= data.size() - e.offset && e.size > 0)
            entries.push_back(e);
    }
    data_ = std::move(data);
    entries_ = std::move(entries);
    chosen_ = -1;
    image_.reset();
    mask_.clear();
    decoded_ = false;
    Changed();
}

void TIcon::WriteStream(TStream& stream)
{
    stream.WriteBytes(data_);
}

void TIcon::AssignFrom(const TGraphic& source)
{
    auto* icon = dynamic_cast<const TIcon*>(&source);
    if (!icon)
        AssignError(source);
    data_ = icon->data_;
    entries_ = icon->entries_;
    chosen_ = -1;
    image_.reset();
    mask_.clear();
    decoded_ = false;
    Changed();
}

void TIcon::Choose() const
{
    if (chosen_ >= 0 || entries_.empty())
        return;
    // The entry nearest the system icon size among those the display can show (all of
    // them on a true-colour display); on a tie the one with more colours, then the first.
    int displayBits = Limits().screen.bitsPerPixel;
    int best = -1;
    long bestScore = LONG_MAX;
    int bestBits = -1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        int bits = e.bitCount ? e.bitCount : (e.colorCount ? 8 : 0);
        if (bits > displayBits)
            continue;
        long score = std::abs(e.width - kSystemIconSize) + std::abs(e.height - kSystemIconSize);
        if (score < bestScore || (score == bestScore && bits > bestBits)) {
            best = static_cast<int>(i);
            bestScore = score;
            bestBits = bits;
        }
    }
    chosen_ = best < 0 ? 0 : best;
}

TIcon::TSize TIcon::ChosenSize() const
{
    if (data_.empty())
        return TSize{0, 0};
    Choose();
    if (entries_.empty())
        return TSize{kSystemIconSize, kSystemIconSize};
    Decode();
    return TSize{image_->Width(), image_->Height()};
}

int TIcon::Width() const
{
    return ChosenSize().width;
}
int TIcon::Height() const
{
    return ChosenSize().height;
}

void TIcon::SetWidth(int)
{
    throw EInvalidGraphicOperation("Cannot change the size of an icon");
}
void TIcon::SetHeight(int)
{
    throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::Decode() const
{
    if (decoded_)
        return;
    Choose();
    if (entries_.empty())
        throw EInvalidGraphic(kInvalidIcon);
    const Entry& e = entries_[static_cast<size_t>(chosen_)];
    const uint8_t* p = data_.data() + e.offset;
    auto out = std::make_unique<TBitmap>();
    out->SetLimits(Limits());
    std::vector<uint8_t> mask;
    bool alpha = false;
    if (IsPng(p, e.size)) {
        DecodePngIconEntry(p, e.size, *out);
        if (out->PixelFormat() != pf32bit)
            out->SetPixelFormat(pf32bit);
        alpha = true;
        mask.assign(static_cast<size_t>(out->Width()) * out->Height(), 0);
        for (int y = 0; y < out->Height(); ++y) {
            const uint8_t* row = out->ConstRow(y);
            for (int x = 0; x < out->Width(); ++x)
                mask[static_cast<size_t>(y) * out->Width() + x] = row[4 * x + 3] == 0;
        }
    } else {
        ByteReader in(p, e.size, kInvalidIcon);
        uint32_t headerSize = in.U32LE();
        if (headerSize < 40 || headerSize > e.size)
            throw EInvalidGraphic(kInvalidIcon);
        int32_t width = in.S32LE();
        int32_t doubleHeight = in.S32LE();
        uint16_t planes = in.U16LE();
        uint16_t bits = in.U16LE();
        uint32_t compression = in.U32LE();
        in.Skip(12);
        uint32_t clrUsed = in.U32LE();
        (void)planes;
        in.Seek(headerSize);
        if (compression != 0 || width <= 0 || doubleHeight == 0 || doubleHeight == INT32_MIN)
            throw EInvalidGraphic(kInvalidIcon);
        int height = std::abs(doubleHeight) / 2;
        if (height == 0 || !(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32))
            throw EInvalidGraphic(kInvalidIcon);
        CheckPixelBudget(Limits(), width, height, kInvalidIcon);
        size_t colors =
            bits <= 8 ? (clrUsed && clrUsed < (1u << bits) ? clrUsed : (1u << bits)) : 0;
        std::vector<RGBQuad> table(colors);
        for (auto& q : table) {
            const uint8_t* c = in.Bytes(4);
            q = RGBQuad{c[0], c[1], c[2], 0};
        }
        size_t stride = RowBytes(width, bits), maskStride = RowBytes(width, 1);
        out->NewImage(width, height, pf32bit);
        mask.assign(static_cast<size_t>(width) * height, 0);
        // Rows are bottom-up. A truncated entry leaves the missing rows transparent.
        const uint8_t* xorData = in.Data() + in.Position();
        size_t xorAvail = in.Remaining();
        const uint8_t* andData = xorData + std::min(xorAvail, stride * height);
        size_t andAvail = xorAvail - std::min(xorAvail, stride * height);
        for (int row = 0; row < height; ++row) {
            int y = height - 1 - row;
            uint8_t* dst = out->Row(y);
            bool haveRow = (static_cast<size_t>(row) + 1) * stride <= xorAvail;
            bool haveMask = (static_cast<size_t>(row) + 1) * maskStride <= andAvail;
            const uint8_t* src = xorData + static_cast<size_t>(row) * stride;
            for (int x = 0; x < width; ++x) {
                uint8_t b = 0, g = 0, r = 0, a = 255;
                if (haveRow) {
                    unsigned index = 0;
                    switch (bits) {
                    case 1:
                        index = (src[x >> 3] >> (7 - (x & 7))) & 1;
                        break;
                    case 4:
                        index = (x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4);
                        break;
                    case 8:
                        index = src[x];
                        break;
                    case 24:
                        b = src[3 * x];
                        g = src[3 * x + 1];
                        r = src[3 * x + 2];
                        break;
                    case 32:
                        b = src[4 * x];
                        g = src[4 * x + 1];
                        r = src[4 * x + 2];
                        a = src[4 * x + 3];
                        break;
                    }
                    if (bits <= 8 && index < table.size()) {
                        b = table[index].blue;
                        g = table[index].green;
                        r = table[index].red;
                    }
                }
                bool transparent = !haveRow;
                if (haveMask) {
                    const uint8_t* m = andData + static_cast<size_t>(row) * maskStride;
                    transparent = transparent || ((m[x >> 3] >> (7 - (x & 7))) & 1);
                }
                dst[4 * x] = b;
                dst[4 * x + 1] = g;
                dst[4 * x + 2] = r;
                dst[4 * x + 3] = a;
                mask[static_cast<size_t>(y) * width + x] = transparent ? 1 : 0;
            }
        }
        if (bits == 32) {
            // A 32-bit entry whose alpha is all zero uses its mask alone.
            bool any = false;
            for (int y = 0; y < height && !any; ++y) {
                const uint8_t* row = out->ConstRow(y);
                for (int x = 0; x < width; ++x)
                    if (row[4 * x + 3]) {
                        any = true;
                        break;
                    }
            }
            alpha = any;
        }
        if (!alpha) {
            for (int y = 0; y < height; ++y) {
                uint8_t* row = out->Row(y);
                for (int x = 0; x < width; ++x)
                    row[4 * x + 3] = 0;
            }
        }
    }
    image_ = std::move(out);
    mask_ = std::move(mask);
    alpha_ = alpha;
    decoded_ = true;
}

const TBitmap& TIcon::ColorImage() const
{
    Decode();
    return *image_;
}

const std::vector<uint8_t>& TIcon::Mask() const
{
    Decode();
    return mask_;
}

bool TIcon::HasAlpha() const
{
    Decode();
    return alpha_;
}

void TIcon::Paint(TCanvas& canvas, const TRect& rect)
{
    if (data_.empty())
        return;
    Decode();
    // Drawn at its own size at the rectangle's top-left corner; never scaled.
    TBitmap& target = canvas.Target();
    TRect clip = canvas.ClipRect();
    const TBitmap& img = *image_;
    for (int y = 0; y < img.Height(); ++y) {
        int ty = rect.top + y;
        if (ty < clip.top || ty >= clip.bottom)
            continue;
        const uint8_t* src = img.ConstRow(y);
        for (int x = 0; x < img.Width(); ++x) {
            int tx = rect.left + x;
            if (tx < clip.left || tx >= clip.right)
                continue;
            const uint8_t* s = src + 4 * x;
            if (alpha_) {
                int a = s[3];
                if (a == 0)
                    continue;
                TColor d = target.Pixel(tx, ty);
                target.SetPixel(tx, ty,
                                RGBColor(BlendOver(s[2], GetRValue(d), a),
                                         BlendOver(s[1], GetGValue(d), a),
                                         BlendOver(s[0], GetBValue(d), a)));
            } else if (mask_[static_cast<size_t>(y) * img.Width() + x]) {
                // Transparent pixel: the destination XOR the colour (black leaves it alone).
                if (s[0] | s[1] | s[2]) {
                    TColor d = target.Pixel(tx, ty);
                    target.SetPixel(tx, ty, d ^ RGBColor(s[2], s[1], s[0]));
                }
            } else {
                target.SetPixel(tx, ty, RGBColor(s[2], s[1], s[0]));
            }
        }
    }
}

} // namespace tabulonix
