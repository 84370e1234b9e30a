#pragma once
// GIF pictures: the object model shared by reading and writing, the reader, the writer.
// A TGIFImage is a logical screen with an optional global colour map and a list of
// sub-images, each with its own extensions, optional local colour map and one byte per
// pixel. Painting always shows the first image placed within the logical screen.
#include "codecs/surface/Bitmap.h"
#include "platform/Exception.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabulonix {

class ByteReader;
class ByteWriter;
class TGIFImage;
class TGIFSubImage;

struct TGIFColor {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

// Up to 256 colours. The capacity grows to 16 entries, then in steps of 32.
class TGIFColorMap {
  public:
    int Count() const { return static_cast<int>(colors_.size()); }
    int Capacity() const { return capacity_; }
    bool IsEmpty() const { return colors_.empty(); }
    const TGIFColor& operator[](int index) const { return colors_.at(static_cast<size_t>(index)); }
    const std::vector<TGIFColor>& Colors() const { return colors_; }
    // Appends a colour and returns its index; a 257th raises "Color table overflow".
    int Add(const TGIFColor& color);
    void Clear();
    // The smallest n >= 1 with 2^n >= Count(); 0 for an empty map.
    int BitsPerPixel() const;
    // Entries sorted by importance (written as the sort flag).
    bool Optimized = false;
    // A palette of one entry per colour; none for an empty map.
    std::optional<TPalette> ToPalette() const;

    // `count` entries of red, green, blue.
    void ReadMap(ByteReader& reader, int count);
    // Every entry, then black entries up to 2^BitsPerPixel().
    void WriteMap(ByteWriter& writer) const;

  private:
    std::vector<TGIFColor> colors_;
    int capacity_ = 0;
};

// The logical screen descriptor and the global colour map.
struct TGIFHeader {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t packed = 0;
    uint8_t background = 0;
    uint8_t aspectRatio = 0;
    TGIFColorMap colorMap;
    void Clear() { *this = TGIFHeader{}; }
};

// One extension block. Reading starts at the "!" introducer; writing writes it.
class TGIFExtension {
  public:
    virtual ~TGIFExtension() = default;
    virtual uint8_t Label() const = 0;
    virtual std::unique_ptr<TGIFExtension> Clone() const = 0;
    void Read(ByteReader& reader, TGIFImage& owner);
    void Write(ByteWriter& writer) const;

  protected:
    // The content after the label, up to and including the block terminator.
    virtual void ReadContent(ByteReader& reader, TGIFImage& owner) = 0;
    virtual void WriteContent(ByteWriter& writer) const = 0;
};

class TGIFGraphicControlExtension : public TGIFExtension {
  public:
    static constexpr uint8_t kLabel = 0xF9;
    uint8_t Label() const override { return kLabel; }
    std::unique_ptr<TGIFExtension> Clone() const override;

    uint8_t blockSize = 4;
    uint8_t packed = 0; // bit 0 transparent colour present, bits 2-4 disposal
    uint16_t delay = 0; // hundredths of a second
    uint8_t transparentIndex = 0;
    uint8_t terminator = 0;

    bool HasTransparency() const { return (packed & 1) != 0; }
    int Disposal() const { return (packed >> 2) & 7; }

  protected:
    void ReadContent(ByteReader& reader, TGIFImage& owner) override;
    void WriteContent(ByteWriter& writer) const override;
};

class TGIFCommentExtension : public TGIFExtension {
  public:
    static constexpr uint8_t kLabel = 0xFE;
    uint8_t Label() const override { return kLabel; }
    std::unique_ptr<TGIFExtension> Clone() const override;
    std::vector<std::string> Text; // one line per data sub-block

  protected:
    void ReadContent(ByteReader& reader, TGIFImage& owner) override;
    void WriteContent(ByteWriter& writer) const override;
};

class TGIFTextExtension : public TGIFExtension {
  public:
    static constexpr uint8_t kLabel = 0x01;
    uint8_t Label() const override { return kLabel; }
    std::unique_ptr<TGIFExtension> Clone() const override;
    std::vector<uint8_t> Header; // the block size byte and the plain-text header (13 bytes)
    std::vector<std::string> Text;

  protected:
    void ReadContent(ByteReader& reader, TGIFImage& owner) override;
    void WriteContent(ByteWriter& writer) const override;
};

class TGIFApplicationExtension : public TGIFExtension {
  public:
    static constexpr uint8_t kLabel = 0xFF;
    uint8_t Label() const override { return kLabel; }
    uint8_t blockSize = 11;
    std::array<uint8_t, 8> identifier{};
    std::array<uint8_t, 3> authentication{};
    std::string Identification() const; // identifier + authentication code as text

  protected:
    void WriteContent(ByteWriter& writer) const override;
    virtual void WriteData(ByteWriter& writer) const = 0;
    // Reads the application data sub-blocks after the identification.
    virtual void ReadData(ByteReader& reader, TGIFImage& owner) = 0;
    void ReadContent(ByteReader& reader, TGIFImage& owner) override;
};

// The looping extension ("NETSCAPE2.0", "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
  public:
    std::unique_ptr<TGIFExtension> Clone() const override;
    uint16_t Loops = 0;
    std::optional<uint32_t> BufferSize;

  protected:
    void ReadData(ByteReader& reader, TGIFImage& owner) override;
    void WriteData(ByteWriter& writer) const override;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
  public:
    std::unique_ptr<TGIFExtension> Clone() const override;
    std::vector<std::vector<uint8_t>> Blocks; // the data sub-blocks, unchanged

  protected:
    void ReadData(ByteReader& reader, TGIFImage& owner) override;
    void WriteData(ByteWriter& writer) const override;
};

struct TGIFImageDescriptor {
    uint8_t separator = 0x2C;
    uint16_t left = 0, top = 0, width = 0, height = 0;
    uint8_t packed = 0; // bit 7 local table, bit 6 interlaced, bit 5 sorted, bits 0-2 size
    bool Interlaced() const { return (packed & 0x40) != 0; }
};

// One image of the file with its extensions.
class TGIFSubImage {
  public:
    explicit TGIFSubImage(TGIFImage& owner) : owner_(&owner) {}
    TGIFSubImage(const TGIFSubImage& other, TGIFImage& owner);

    TGIFImageDescriptor descriptor;
    TGIFColorMap colorMap;
    std::vector<std::unique_ptr<TGIFExtension>> extensions;
    std::vector<uint8_t> data; // width x height indices, rows from the top

    int Left() const { return descriptor.left; }
    int Top() const { return descriptor.top; }
    int Width() const { return descriptor.width; }
    int Height() const { return descriptor.height; }
    bool Empty() const { return data.empty() || descriptor.width == 0 || descriptor.height == 0; }
    bool Interlaced() const { return descriptor.Interlaced(); }
    // Sizes the pixel data, zero-filled; beyond 65535 raises "Image exceeds Logical Screen size".
    void SetSize(int width, int height);

    // The graphic control extension, if any.
    const TGIFGraphicControlExtension* GraphicControl() const;
    bool Transparent() const;
    int TransparentIndex() const;
    // "89a" when the colour map is sorted or there is an extension, else "87a".
    std::string Version() const;

    // The colour map that applies: local, else global, else the first image's.
    const TGIFColorMap& ActiveColorMap() const;

    // The 8-bit bitmap of the pixels (made once and kept) and, for a transparent image,
    // the mask: 1 where the pixel is the transparent index (empty when none is).
    const TBitmap& Bitmap() const;
    const std::vector<uint8_t>& Mask() const;
    void DropCaches();

  private:
    friend class TGIFImage;
    TGIFImage* owner_;
    mutable std::unique_ptr<TBitmap> bitmap_;
    mutable std::vector<uint8_t> mask_;
};

struct TGIFTrailer {
    static constexpr uint8_t kTrailer = 0x3B;
};

class TGIFImage : public TGraphic {
  public:
    using WarningHandler = std::function<void(TGIFImage& sender, const std::string& message)>;

    TGIFImage() = default;
    ~TGIFImage() override;

    const char* ClassName() const override { return "TGIFImage"; }
    std::unique_ptr<TGraphic> NewInstance() const override { return std::make_unique<TGIFImage>(); }

    // The logical screen.
    int Width() const override { return header_.width; }
    int Height() const override { return header_.height; }
    // Below an image's extent these raise "Image width/height too small for contained frames".
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    bool IsEmpty() const override { return images_.empty(); }

    void Paint(TCanvas& canvas, const TRect& rect) override;
    void ReadStream(TStream& stream) override;
    void WriteStream(TStream& stream) override;
    void AssignFrom(const TGraphic& source) override;
    bool AssignTo(TGraphic& target) const override;

    // Images, global map emptied, screen 0 x 0, caches dropped.
    void Clear();
    TGIFHeader& Header() { return header_; }
    const TGIFHeader& Header() const { return header_; }
    int Count() const { return static_cast<int>(images_.size()); }
    TGIFSubImage& Image(int index) { return *images_.at(static_cast<size_t>(index)); }
    const TGIFSubImage& Image(int index) const { return *images_.at(static_cast<size_t>(index)); }
    // A new sub-image from a graphic (8 bits or fewer taken over as they are, others reduced
    // first), appended; the logical screen grows to hold it.
    TGIFSubImage& Add(const TGraphic* source);
    // An empty sub-image appended (for building pictures in code).
    TGIFSubImage& AddEmpty();
    // "89a", "87a", or "" without images.
    std::string Version() const;

    WarningHandler OnWarning;

    // Reports a warning to the handler, if one is installed.
    void Warning(const std::string& message);

  private:
    void ReadPicture(ByteReader& reader);
    void ReadImageGroup(ByteReader& reader);
    void ReadImageData(ByteReader& reader, TGIFSubImage& image);
    void AddFromBitmap(const TBitmap& source);
    void PaintImage(TCanvas& canvas, const TRect& rect, const TGIFSubImage& image) const;
    void PaintInto(TCanvas& canvas, const TRect& rect) const;

    TGIFHeader header_;
    std::vector<std::unique_ptr<TGIFSubImage>> images_;
    mutable std::unique_ptr<TBitmap> screenBitmap_;
    uint64_t allocated_ = 0; // pixel bytes of the images read so far
};

} // namespace tabulonix
