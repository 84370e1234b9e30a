#include "codecs/Picture.h"

#include "codecs/Registry.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "platform/Files.h"

namespace tabulonix {

TPicture::~TPicture() = default;

int TPicture::Width() const
{
    return graphic_ ? graphic_->Width() : 0;
}
int TPicture::Height() const
{
    return graphic_ ? graphic_->Height() : 0;
}

void TPicture::OpenFile(const std::string& path)
{
    std::string ext = ExtractFileExt(path);
    if (!ext.empty())
        ext = ext.substr(1);
    const TGraphicClass* cls = FindExtension(ext);
    if (!cls)
        throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", {ext}));
    std::unique_ptr<TGraphic> fresh = cls->create();
    fresh->SetLimits(limits_);
    fresh->OnProgress = [this](TGraphic& sender, TProgressStage stage, int percent,
                               const std::string& message) {
        if (OnProgress)
            OnProgress(sender, stage, percent, message);
    };
    fresh->ReadFile(path); // on failure `fresh` is freed and the held graphic stays
    Hold(std::move(fresh));
}

void TPicture::SaveToFile(const std::string& path)
{
    if (graphic_)
        graphic_->WriteFile(path);
}

TBitmap& TPicture::AsBitmap()
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get()))
        return *bitmap;
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetLimits(limits_);
    Hold(std::move(bitmap));
    return static_cast<TBitmap&>(*graphic_);
}

void TPicture::Assign(const TPicture& source)
{
    Assign(source.Graphic());
}

void TPicture::Assign(const TGraphic* source)
{
    if (source == graphic_.get() && source)
        return;
    if (!source) {
        Hold(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> copy = source->NewInstance();
    copy->SetLimits(limits_);
    copy->AssignFrom(*source);
    Hold(std::move(copy));
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic)
{
    Hold(std::move(graphic));
}

void TPicture::Hold(std::unique_ptr<TGraphic> graphic)
{
    graphic_ = std::move(graphic);
    if (graphic_)
        graphic_->OnChange = [this](TGraphic&) { Notify(); };
    Notify();
}

void TPicture::Notify()
{
    if (OnChange)
        OnChange(*this);
}

TImage::TImage()
{
    picture_.OnChange = [this](TPicture&) { PictureChanged(); };
}

TCanvas& TImage::Canvas()
{
    TGraphic* g = picture_.Graphic();
    if (!g) {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetLimits(picture_.Limits());
        bitmap->SetWidth(width_);
        bitmap->SetHeight(height_);
        picture_.SetGraphic(std::move(bitmap));
        g = picture_.Graphic();
    }
    auto* bitmap = dynamic_cast<TBitmap*>(g);
    if (!bitmap)
        throw EInvalidOperation("Can only modify an image if it contains a bitmap");
    return bitmap->Canvas();
}

void TImage::PictureChanged()
{
    if (AutoSize && picture_.Width() > 0 && picture_.Height() > 0) {
        width_ = picture_.Width();
        height_ = picture_.Height();
    }
    TGraphic* g = picture_.Graphic();
    if (g && !g->DrawsOwnTransparency() && g->Transparent() != Transparent)
        g->SetTransparent(Transparent);
}

} // namespace tabulonix
