#include "codecs/formats/ReaderGraphic.h"

#include "codecs/core/DecodeLimits.h"

namespace tabulonix {

bool TReaderGraphic::ReadImageProperties(const std::vector<uint8_t>&, int)
{
    ResetProperties();
    return true;
}

void TReaderGraphic::BeginLoad(TStream& stream)
{
    NewImage(0, 0, pfDevice);
    SetPalette(std::nullopt);
    SetTransparent(false);
    basePosition_ = stream.Position();
    Progress(psStarting, 0, "Loading data...");
}

std::vector<uint8_t> TReaderGraphic::ReadAll(TStream& stream)
{
    Rewind(stream);
    return stream.ReadRemaining();
}

void TReaderGraphic::RequireProperties(const std::vector<uint8_t>& data,
                                       const std::string& formatName, int imageIndex)
{
    if (!ReadImageProperties(data, imageIndex))
        Fail(kInvalidImageFormat, formatName);
}

TPixelFormat TReaderGraphic::SetupColorManager()
{
    const TImageProperties& p = properties_;
    TColorManager& cm = colorManager_;
    cm.SetSourceColorScheme(p.colorScheme);
    cm.SetSourceBitsPerSample(p.bitsPerSample);
    cm.SetSourceSamplesPerPixel(p.samplesPerPixel);
    TConvertOptions sourceOptions = coNone;
    if ((p.options & ioBigEndian) && p.bitsPerSample == 16)
        sourceOptions |= coNeedByteSwap;
    cm.SetSourceOptions(sourceOptions);

    bool indexed = p.colorScheme == csIndexed || p.colorScheme == csG || p.colorScheme == csGA;
    bool alpha = p.hasAlpha || p.colorScheme == csRGBA || p.colorScheme == csBGRA;
    if (indexed) {
        cm.SetTargetColorScheme(csIndexed);
        cm.SetTargetSamplesPerPixel(1);
    } else if (alpha) {
        cm.SetTargetColorScheme(csBGRA);
        cm.SetTargetSamplesPerPixel(4);
    } else {
        cm.SetTargetColorScheme(csBGR);
        cm.SetTargetSamplesPerPixel(3);
    }
    cm.SetTargetBitsPerSample(p.bitsPerSample == 16 ? 8 : p.bitsPerSample);
    TConvertOptions targetOptions = coNone;
    if (p.options & ioUseGamma) {
        targetOptions |= coApplyGamma;
        cm.ConfigureGamma(2.2, p.fileGamma);
    }
    cm.SetTargetOptions(targetOptions);
    cm.Prepare();
    return cm.PixelFormatOfTarget();
}

void TReaderGraphic::CreateImage(int width, int height, TPixelFormat format,
                                 const std::string& formatName)
{
    if (format == pfCustom)
        Fail(kInvalidColorFormat, formatName);
    CheckPixelBudget(Limits(), width, height, FormatError(kInvalidImageFormat, formatName));
    NewImage(width, height, format);
}

void TReaderGraphic::CreateImage(TPixelFormat format, const std::string& formatName)
{
    CreateImage(properties_.width, properties_.height, format, formatName);
    if (format == pf32bit && colorManager_.TargetColorScheme() == csBGRA)
        SetAlphaChannel(true);
    TColorScheme s = properties_.colorScheme;
    if ((s == csG || s == csGA) && colorManager_.TargetColorScheme() == csIndexed)
        SetPalette(colorManager_.MakeGreyPalette((properties_.options & ioMinIsWhite) != 0));
}

void TReaderGraphic::FinishLoad()
{
    SetModified(false);
    Progress(psEnding, 100);
    PixelsChanged();
}

ByteReader TReaderGraphic::Reader(const std::vector<uint8_t>& data, const std::string& formatName)
{
    return ByteReader(data.data(), data.size(), FormatError(kStreamReadError, formatName));
}

void TReaderGraphic::Fail(const char* text, const std::string& formatName)
{
    throw EInvalidGraphic(FormatError(text, formatName));
}

} // namespace tabulonix
