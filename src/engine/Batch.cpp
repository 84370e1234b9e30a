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

// False, with `reason` set, when the source cannot be opened or holds no picture.
bool LoadSource(TImage &loader, const std::string &path, std::string &reason)
{
    try {
        loader.Picture().OpenFile(path);
        TGraphic *g = loader.Picture().Graphic();
        if (!g || g->Width() <= 0 || g->Height() <= 0) {
            reason = "the file holds no picture";
            return false;
        }
        // JPEG pixels are decoded on first need; decoding here makes corrupt data a
        // failure to open rather than to save.
        if (auto *jpeg = dynamic_cast<TJPEGImage *>(g))
            jpeg->DIBNeeded();
        return true;
    } catch (const std::exception &e) {
        reason = FailureReason(e);
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
            } catch (const std::exception &e) {
                host.ShowError(Format(LangMessage("M006"), {s.HTMLFile}), FailureReason(e));
            }
        }
        objects.reset();
        host.EndProgress();
        host.SetWizardEnabled(true);
        if (ranToEnd)
            host.ShowInformation(Format(LangMessage("M007"), {std::to_string(result.processed),
                                                              std::to_string(result.total)}));
    };

    auto failed = [&](const char *id, const std::string &path, const std::string &reason,
                      int position) {
        host.ShowError(Format(LangMessage(id), {path}), reason);
        host.StepProgress();
        host.SetPercentText(PercentText(position, result.total));
        host.ProcessMessages();
    };

    // One report for a folder no picture can be saved in, rather than one per picture.
    if (std::string why = PrepareDestinationFolder(s.DDir); !why.empty()) {
        host.ShowError(Format(LangMessage("M005"), {s.DDir}), why);
        result.destinationUnusable = true;
        finish();
        return result;
    }

    try {
        int position = 0;
        for (const std::string &name : selected) {
            ++position;
            RunObjects &o = *objects;
            host.SetFileName(name);
            o.drawing.Picture().Assign(static_cast<const TGraphic *>(nullptr));

            const std::string sourcePath = s.SDir + name;
            std::string reason;
            if (!LoadSource(o.loader, sourcePath, reason)) {
                failed("M004", sourcePath, reason, position);
                continue;
            }

            // Until the name is formed, a failure names the source inside the destination.
            std::string destPath = s.DDir + name;
            int64_t w = 0, h = 0;
            DestinationName dest;
            try {
                TGraphic *source = o.loader.Picture().Graphic();
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
                TBitmap &surface = o.drawing.Picture().AsBitmap();
                surface.SetWidth(static_cast<int>(w));
                surface.SetHeight(static_cast<int>(h));
                TCanvas &canvas = surface.Canvas();
                if (s.ToDo == 1) {
                    canvas.DrawAt(0, 0, source);
                } else {
                    canvas.DrawScaled(TRect{0, 0, static_cast<int>(w), static_cast<int>(h)},
                                      source);
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
                o.encoders.Save(dest.format, surface, destPath, dest.extension, s);
            } catch (const std::exception &e) {
                failed("M005", destPath, FailureReason(e), position);
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
