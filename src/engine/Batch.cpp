#include "engine/Batch.h"

#include "codecs/Bitmap.h"
#include "codecs/Canvas.h"
#include "codecs/Jpeg.h"
#include "codecs/Picture.h"
#include "codecs/PixelBudget.h"
#include "engine/BatchHost.h"
#include "engine/DestinationNaming.h"
#include "engine/Gallery.h"
#include "engine/Geometry.h"
#include "engine/OutputEncoders.h"
#include "i18n/Messages.h"
#include "platform/Exception.h"

#include <climits>
#include <exception>
#include <memory>

namespace tabulonix {

namespace {

// The working objects of one run.
struct RunObjects {
    RunObjects(const JobSettings &settings, const SelectedFileList &selected, BatchHost &host)
        : naming(settings), gallery(settings, selected, host)
    {
        loader.AutoSize = true;
    }
    TImage loader;  // the source picture last loaded
    TImage drawing; // holds the work surface
    TOutputEncoders encoders;
    TDestinationNaming naming;
    TGalleryWriter gallery;
};

// Opens the source; its pixels may still be undecoded (see DecodeSource).
bool LoadSource(TImage &loader, const std::string &path)
{
    try {
        loader.Picture().OpenFile(path);
        TGraphic *g = loader.Picture().Graphic();
        return g && g->Width() > 0 && g->Height() > 0;
    } catch (const std::exception &) {
        return false;
    }
}

// Decodes what the draw will take: for a thumbnail the sample of the source pixels it shows
// when the source can make one, else the whole picture. Decoding here makes corrupt data a
// failure to open rather than to save.
bool DecodeSource(TGraphic &source, TBitmap *surface, const TRect &rect,
                  std::unique_ptr<TBitmap> &sample)
{
    try {
        if (surface)
            sample = surface->Canvas().NearestSampleFor(rect, source);
        if (!sample)
            if (auto *jpeg = dynamic_cast<TJPEGImage *>(&source))
                jpeg->DIBNeeded();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace

BatchResult DoTheHonkyPonky(const JobSettings &s, const SelectedFileList &selected, BatchHost &host)
{
    BatchResult result;
    result.total = static_cast<int>(selected.Count());
    host.SetWizardEnabled(false);
    host.BeginProgress(result.total);
    auto objects = std::make_unique<RunObjects>(s, selected, host);
    bool ranToEnd = false;

    auto finish = [&] {
        if (s.CreateHTML != 2) {
            try {
                objects->gallery.WriteGallery();
            } catch (const std::exception &) {
                host.ShowError(Format(LangMessage("M006"), {s.HTMLFile}));
            }
        }
        objects.reset();
        ReleaseCachedPixelMemory();
        host.EndProgress();
        host.SetWizardEnabled(true);
        if (ranToEnd)
            host.ShowInformation(Format(LangMessage("M007"), {std::to_string(result.processed),
                                                              std::to_string(result.total)}));
    };

    auto failed = [&](const char *id, const std::string &path, int position) {
        host.ShowError(Format(LangMessage(id), {path}));
        host.StepProgress();
        host.SetPercentText(PercentText(position, result.total));
        host.ProcessMessages();
    };

    try {
        int position = 0;
        for (const std::string &name : selected) {
            ++position;
            RunObjects &o = *objects;
            host.SetFileName(name);
            o.drawing.Picture().Assign(static_cast<const TGraphic *>(nullptr));

            const std::string sourcePath = s.SDir + name;
            if (!LoadSource(o.loader, sourcePath)) {
                failed("M004", sourcePath, position);
                continue;
            }

            // The surface is made before the pixels are decoded, so that a thumbnail decodes
            // only what it shows; a failure to size it still counts after a decoding failure.
            // Until the name is formed, a failure names the source inside the destination.
            std::string destPath = s.DDir + name;
            int64_t w = 0, h = 0;
            DestinationName dest;
            TGraphic *source = o.loader.Picture().Graphic();
            TBitmap *surface = nullptr;
            std::exception_ptr sizing;
            try {
                const int w0 = source->Width(), h0 = source->Height();
                if (s.ToDo == 1) {
                    w = w0;
                    h = h0;
                } else {
                    TargetSize size = ComputeTargetSize(w0, h0, s);
                    w = size.width;
                    h = size.height;
                }
                if (w < 1 || h < 1 || w > INT_MAX || h > INT_MAX)
                    throw EInvalidGraphic("Invalid output size");
                CheckPixelBudget(w, h, 32, "Output picture too large");
                surface = &o.drawing.Picture().AsBitmap();
                surface->SetWidth(static_cast<int>(w));
                surface->SetHeight(static_cast<int>(h));
            } catch (const std::exception &) {
                sizing = std::current_exception();
                surface = nullptr;
            }
            const TRect rect{0, 0, static_cast<int>(w), static_cast<int>(h)};
            std::unique_ptr<TBitmap> sample;
            if (!DecodeSource(*source, s.ToDo == 0 ? surface : nullptr, rect, sample)) {
                failed("M004", sourcePath, position);
                continue;
            }
            try {
                if (sizing)
                    std::rethrow_exception(sizing);
                TCanvas &canvas = surface->Canvas();
                if (s.ToDo == 1) {
                    canvas.DrawAt(0, 0, source);
                } else {
                    canvas.DrawScaled(rect, sample ? sample.get() : source);
                    canvas.Brush.Style = bsClear;
                    if (s.DrawFrame) {
                        canvas.Pen.Color = s.Color;
                        canvas.Pen.Width = s.Size;
                        canvas.Pen.Style = psSolid;
                        canvas.Rectangle(0, 0, static_cast<int>(w), static_cast<int>(h));
                    }
                }

                dest = o.naming.FormDestinationName(name, position);
                destPath = s.DDir + dest.FileName();
                if (!dest.folderReady)
                    throw EFCreateError("Cannot create folder " + s.DDir);
                o.encoders.Save(dest.format, *surface, destPath, dest.extension, s);
            } catch (const std::exception &) {
                failed("M005", destPath, position);
                continue;
            }

            host.ProcessMessages();
            if (s.CreateHTML != 2)
                o.gallery.AddGalleryEntry(dest.FileName(), static_cast<int>(w), static_cast<int>(h),
                                          name);
            host.StepProgress();
            host.SetPercentText(PercentText(position, result.total));
            ++result.processed;
            if (host.AbortRequested()) {
                result.aborted = true;
                break;
            }
        }
        ranToEnd = !result.aborted;
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return result;
}

} // namespace tabulonix
