#pragma once
#include "codecs/core/CodecErrors.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/core/Stream.h"

#include <functional>
#include <memory>
#include <string>

namespace tabulonix {

class TBitmap;
class TCanvas;

struct TRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int left, int top, int right, int bottom)
{
    return TRect{left, top, right, bottom};
}

enum TProgressStage { psStarting, psRunning, psEnding };

// Every picture class. A graphic knows its size, reads and writes its format, paints
// itself into a rectangle of a canvas and can take over another graphic's content.
class TGraphic {
  public:
    using ChangeHandler = std::function<void(TGraphic& sender)>;
    using ProgressHandler = std::function<void(TGraphic& sender, TProgressStage stage, int percent,
                                               const std::string& message)>;

    TGraphic() = default;
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    // The class name used in messages ("TBitmap", "TJPEGImage", ...).
    virtual const char* ClassName() const = 0;
    // A new, empty object of the same class.
    virtual std::unique_ptr<TGraphic> NewInstance() const = 0;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int width);
    virtual void SetHeight(int height);
    virtual bool IsEmpty() const { return Width() == 0 || Height() == 0; }
    virtual bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool value);
    virtual bool Equals(const TGraphic& other) const;
    // Icons and metafiles: drawings that carry their own transparency (an icon's mask, the
    // untouched background of a metafile). Other classes take them over by painting them,
    // and a picture control leaves their Transparent flag alone.
    virtual bool DrawsOwnTransparency() const { return false; }

    // Draws the whole picture into `rect` of `canvas`.
    virtual void Paint(TCanvas& canvas, const TRect& rect) = 0;
    // For a draw into a width x height rectangle that takes one source pixel per destination
    // pixel (NearestSourceIndex in each direction): makes `sample` a 24-bit picture of that
    // size holding just those pixels, without decoding the rest. False (and `sample` left
    // alone) when the class has no such shortcut or it would not pay; the picture is then
    // drawn whole.
    virtual bool NearestSample(int width, int height, TBitmap& sample) const;

    virtual void ReadStream(TStream& stream) = 0;
    virtual void WriteStream(TStream& stream) = 0;
    // Opens the file read-only and calls ReadStream.
    virtual void ReadFile(const std::string& path);
    // Calls WriteStream into a new file that replaces `path` only once it is complete.
    virtual void WriteFile(const std::string& path);

    // Takes over another graphic's content; raises EConvertError
    // "Cannot assign a <source class> to a <this class>" when the source cannot be taken.
    virtual void AssignFrom(const TGraphic& source);
    // Lets the source put its content into `target` (the other direction of AssignFrom);
    // returns false when it cannot.
    virtual bool AssignTo(class TGraphic& target) const;

    // What reading this picture may cost; pictures it makes get the same.
    const DecodeLimits& Limits() const { return limits_; }
    void SetLimits(const DecodeLimits& limits) { limits_ = limits; }

    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

    ChangeHandler OnChange;
    ProgressHandler OnProgress;

  protected:
    void Changed();
    void Progress(TProgressStage stage, int percent, const std::string& message = {});
    [[noreturn]] void AssignError(const TGraphic& source) const;

  private:
    DecodeLimits limits_;
    bool modified_ = false;
    bool transparent_ = false;
};

} // namespace tabulonix
