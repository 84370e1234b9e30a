#include "codecs/core/Graphic.h"

namespace tabulonix {

void TGraphic::SetWidth(int) {}
void TGraphic::SetHeight(int) {}

void TGraphic::SetTransparent(bool value)
{
    if (value != transparent_) {
        transparent_ = value;
        Changed();
    }
}

bool TGraphic::Equals(const TGraphic& other) const
{
    if (&other == this)
        return true;
    if (std::string(ClassName()) != other.ClassName())
        return false;
    // Same class: equal when both write the same bytes.
    TMemoryStream a, b;
    const_cast<TGraphic*>(this)->WriteStream(a);
    const_cast<TGraphic&>(other).WriteStream(b);
    return a.Bytes() == b.Bytes();
}

bool TGraphic::NearestSample(int, int, TBitmap&) const
{
    return false;
}

void TGraphic::ReadFile(const std::string& path)
{
    TFileStream stream(path, TFileStream::OpenRead);
    ReadStream(stream);
}

void TGraphic::WriteFile(const std::string& path)
{
    // Written beside the file and renamed into place when complete, so that a failed or
    // interrupted save never destroys what was there.
    TSafeFileStream stream(path);
    WriteStream(stream);
    stream.Commit();
}

void TGraphic::AssignFrom(const TGraphic& source)
{
    AssignError(source);
}

bool TGraphic::AssignTo(TGraphic&) const
{
    return false;
}

void TGraphic::AssignError(const TGraphic& source) const
{
    throw EConvertError(Format("Cannot assign a %s to a %s", {source.ClassName(), ClassName()}));
}

void TGraphic::Changed()
{
    modified_ = true;
    if (OnChange)
        OnChange(*this);
}

void TGraphic::Progress(TProgressStage stage, int percent, const std::string& message)
{
    if (OnProgress)
        OnProgress(*this, stage, percent, message);
}

} // namespace tabulonix
