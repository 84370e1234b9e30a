#include "engine/Batch.h"

#include "codecs/Picture.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/formats/ExifOrientation.h"
#include "codecs/formats/Jpeg.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/BoxScale.h"
#include "codecs/surface/Canvas.h"
#include "engine/BatchHost.h"
#include "engine/DestinationNaming.h"
#include "engine/Gallery.h"
#include "engine/Geometry.h"
#include "engine/Lookahead.h"
#include "engine/OutputEncoders.h"
#include "engine/RunState.h"
#include "i18n/Messages.h"
#include "platform/Exception.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace tabulonix {

namespace {

// A worker's objects, made once and reused for every file it prepares.
struct FileWorker {
    FileWorker() { loader.AutoSize = true; }
    TImage loader;  // the source picture being prepared
    TImage drawing; // holds the work surface
    TOutputEncoders encoders;

    // Lets go of the file's pictures as soon as it is prepared, so that their memory serves
    // the next file instead of waiting beside it.
    struct Emptied {
        FileWorker& o;
        ~Emptied()
        {
            o.loader.Picture().Assign(static_cast<const TGraphic*>(nullptr));
            o.drawing.Picture().Assign(static_cast<const TGraphic*>(nullptr));
        }
    };
};

// What a worker makes of one file: everything up to the encoded output, for the calling
// thread to name, save and report in file order.
struct PreparedFile {
    enum Stage { NotOpened, NotDrawn, NotEncoded, Encoded };
    Stage stage = NotOpened;
    int width = 0, height = 0;
    std::vector<uint8_t> output; // the bytes of the output file
    std::string reason;          // why it stopped short of Encoded
};

// Opens the source; its pixels may still be undecoded (see DecodeSource). False, with
// `reason` set, when the source cannot be opened or holds no picture.
bool LoadSource(TImage& loader, const std::string& path, std::string& reason)
{
    try {
        loader.Picture().OpenFile(path);
        TGraphic* g = loader.Picture().Graphic();
        if (!g || g->Width() <= 0 || g->Height() <= 0) {
            reason = "the file holds no picture";
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        reason = FailureReason(e);
        return false;
    }
}

// The size of the output picture made from `source` stored with EXIF `orientation`: the
// upright picture's; throws when it cannot be made.
TargetSize OutputSize(const JobSettings& s, const TGraphic& source, int orientation)
{
    const bool swap = OrientationSwapsSides(orientation);
    const int w0 = swap ? source.Height() : source.Width();
    const int h0 = swap ? source.Width() : source.Height();
    const TargetSize size = s.ToDo == 1 ? TargetSize{w0, h0} : ComputeTargetSize(w0, h0, s);
    if (size.width < 1 || size.height < 1 || size.width > INT_MAX || size.height > INT_MAX)
        throw EInvalidGraphic("Invalid output size");
    CheckPixelBudget(source.Limits(), size.width, size.height, "Invalid output size");
    return size;
}

// Decodes what the draw will take: for a thumbnail the sample of the source pixels it shows
// when the source can make one, else the whole picture. Decoding here makes corrupt data a
// failure to open rather than to save.
bool DecodeSource(TGraphic& source, TBitmap* surface, const TRect& rect,
                  std::unique_ptr<TBitmap>& sample, std::string& reason)
{
    try {
        if (surface)
            sample = surface->Canvas().NearestSampleFor(rect, source);
        if (!sample)
            if (auto* jpeg = dynamic_cast<TJPEGImage*>(&source))
                jpeg->DIBNeeded();
        return true;
    } catch (const std::exception& e) {
        reason = FailureReason(e);
        return false;
    }
}

// Lets a JPEG decode at the smallest of its scales (1/2, 1/4, 1/8) that still leaves at
// least twice the output size on both sides, for the average to work from.
void ShrinkOnLoad(TGraphic& source, int width, int height)
{
    auto* jpeg = dynamic_cast<TJPEGImage*>(&source);
    if (!jpeg)
        return;
    const int64_t w0 = jpeg->Width(), h0 = jpeg->Height();
    for (int scale : {8, 4, 2})
        if ((w0 + scale - 1) / scale >= 2 * int64_t{width} &&
            (h0 + scale - 1) / scale >= 2 * int64_t{height}) {
            jpeg->Scale = scale;
            return;
        }
}

// Loads, sizes, draws, frames and encodes one file.
PreparedFile PrepareFile(const JobSettings& s, const std::string& name, FileWorker& o)
{
    PreparedFile f;
    FileWorker::Emptied emptied{o};
    if (!LoadSource(o.loader, s.SDir + name, f.reason))
        return f;

    // The surface is made before the pixels are decoded, so that a thumbnail decodes only
    // what it shows; a failure to size it still counts after a decoding failure.
    const int orientation = s.AutoRotate ? ReadExifOrientation(s.SDir + name) : 1;
    const bool swap = OrientationSwapsSides(orientation);
    int64_t w = 0, h = 0;
    TGraphic* source = o.loader.Picture().Graphic();
    TBitmap* surface = nullptr;
    std::exception_ptr sizing;
    try {
        const TargetSize size = OutputSize(s, *source, orientation);
        w = size.width;
        h = size.height;
        surface = &o.drawing.Picture().AsBitmap();
        // Drawn as stored, then turned upright.
        surface->SetWidth(static_cast<int>(swap ? h : w));
        surface->SetHeight(static_cast<int>(swap ? w : h));
    } catch (const std::exception&) {
        sizing = std::current_exception();
        surface = nullptr;
    }
    const TRect rect{0, 0, static_cast<int>(swap ? h : w), static_cast<int>(swap ? w : h)};
    // Smooth scaling averages the whole picture, so it takes no nearest sample.
    const bool smooth = s.Smooth && s.ToDo == 0 && surface &&
                        (rect.right < source->Width() || rect.bottom < source->Height());
    if (smooth)
        ShrinkOnLoad(*source, rect.right, rect.bottom);
    std::unique_ptr<TBitmap> sample;
    if (!DecodeSource(*source, s.ToDo == 0 && !smooth ? surface : nullptr, rect, sample, f.reason))
        return f;

    f.stage = PreparedFile::NotDrawn;
    try {
        if (sizing)
            std::rethrow_exception(sizing);
        if (s.ToDo == 1) {
            surface->Canvas().DrawAt(0, 0, source);
        } else if (smooth) {
            TBitmap scaled = BoxScaled(TrueColorCopy(*source), rect.right, rect.bottom);
            surface->Canvas().DrawAt(0, 0, &scaled);
        } else {
            surface->Canvas().DrawScaled(rect, sample ? sample.get() : source);
        }
        TurnUpright(*surface, orientation);
        if (s.ToDo == 0) {
            TCanvas& canvas = surface->Canvas();
            canvas.Brush.Style = bsClear;
            if (s.DrawFrame) {
                canvas.Pen.Color = s.Color;
                canvas.Pen.Width = s.Size;
                canvas.Pen.Style = psSolid;
                canvas.Rectangle(0, 0, static_cast<int>(w), static_cast<int>(h));
            }
        }
    } catch (const std::exception& e) {
        f.reason = FailureReason(e);
        return f;
    }
    f.width = static_cast<int>(w);
    f.height = static_cast<int>(h);
    // The source's pixels are drawn: their memory can serve the encoding.
    o.loader.Picture().Assign(static_cast<const TGraphic*>(nullptr));

    f.stage = PreparedFile::NotEncoded;
    try {
        std::string extension;
        int format = ofJPEG;
        OutputFormatFor(s, name, extension, format);
        f.output = o.encoders.Encode(format, *surface, extension, s);
        f.stage = PreparedFile::Encoded;
    } catch (const std::exception& e) {
        f.reason = FailureReason(e);
    }
    return f;
}

// Per selected file, its entry in the run state when its output is current and keeps the
// name this run gives it; decided before the workers start, so that they skip those files.
std::vector<std::optional<TRunState::Entry>>
UnchangedFiles(const JobSettings& s, const SelectedFileList& selected, const TRunState* state)
{
    std::vector<std::optional<TRunState::Entry>> kept(selected.Count());
    if (!state)
        return kept;
    TDestinationNaming names(s, false);
    for (size_t i = 0; i < selected.Count(); ++i) {
        std::string name = names.Candidate(selected[i], static_cast<int>(i + 1)).FileName();
        names.Reserve(name);
        if (const TRunState::Entry* e = state->Unchanged(selected[i]); e && e->destination == name)
            kept[i] = *e;
    }
    return kept;
}

} // namespace

BatchResult DoTheHonkyPonky(const JobSettings& s, const SelectedFileList& selected, BatchHost& host,
                            int jobs, const DecodeLimits& limits)
{
    BatchResult result;
    result.total = static_cast<int>(selected.Count());
    host.SetWizardEnabled(false);
    host.BeginProgress(result.total);
    TDestinationNaming naming(s);
    auto gallery = std::make_unique<TGalleryWriter>(s, selected, host);
    std::vector<FileWorker> fileWorkers;
    std::unique_ptr<Lookahead<PreparedFile>> ahead;
    bool ranToEnd = false;
    std::unique_ptr<TRunState> state;
    if (s.SkipUnchanged)
        state = std::make_unique<TRunState>(s);

    auto finish = [&] {
        ahead.reset(); // files still being prepared are finished and dropped
        if (state && !result.destinationUnusable) {
            for (const FileOutcome& o : result.files)
                if (o.kind == FileOutcome::Written)
                    state->Record(o.source, o.destination, o.width, o.height);
                else if (o.kind == FileOutcome::Failed)
                    state->Forget(o.source);
            try {
                state->Save();
            } catch (const std::exception& e) {
                host.ShowError(Format(LangMessage("M005"), {s.DDir + kRunStateFileName}),
                               FailureReason(e));
            }
        }
        if (s.CreateHTML != 2) {
            try {
                gallery->WriteGallery();
            } catch (const std::exception& e) {
                host.ShowError(Format(LangMessage("M006"), {s.HTMLFile}), FailureReason(e));
            }
        }
        gallery.reset();
        fileWorkers.clear();
        ReleaseCachedPixelMemory();
        host.EndProgress();
        host.SetWizardEnabled(true);
        if (ranToEnd)
            host.ShowInformation(Format(LangMessage("M007"), {std::to_string(result.processed),
                                                              std::to_string(result.total)}));
    };

    auto failed = [&](const char* id, const std::string& path, const std::string& reason,
                      int position) {
        FileOutcome& o = result.files.back();
        o.kind = FileOutcome::Failed;
        o.reason = reason;
        o.message = Format(LangMessage(id), {path});
        host.ShowError(o.message, reason);
        host.StepProgress();
        host.SetPercentText(PercentText(position, result.total));
        host.ProcessMessages();
    };

    // The steps after a saved (or kept) file; true when the run is to stop.
    auto succeeded = [&](const std::string& destination, int width, int height,
                         const std::string& name, int position) {
        host.ProcessMessages();
        if (s.CreateHTML != 2)
            gallery->AddGalleryEntry(destination, width, height, name);
        host.StepProgress();
        host.SetPercentText(PercentText(position, result.total));
        ++result.processed;
        result.aborted = host.AbortRequested();
        return result.aborted;
    };

    // One report for a folder no picture can be saved in, rather than one per picture.
    if (std::string why = PrepareDestinationFolder(s.DDir); !why.empty()) {
        host.ShowError(Format(LangMessage("M005"), {s.DDir}), why);
        result.destinationUnusable = true;
        finish();
        return result;
    }

    // Workers load, draw and encode ahead; this thread names, saves and reports in file
    // order, so every result is that of a plain loop. One job is that loop.
    const size_t workers = jobs == 1 ? 0 : static_cast<size_t>(jobs > 1 ? jobs : DefaultJobs());
    fileWorkers = std::vector<FileWorker>(std::max<size_t>(workers, 1));
    for (FileWorker& worker : fileWorkers) {
        worker.loader.Picture().SetLimits(limits);
        worker.drawing.Picture().SetLimits(limits);
    }
    const std::vector<std::optional<TRunState::Entry>> kept =
        UnchangedFiles(s, selected, state.get());
    ahead = std::make_unique<Lookahead<PreparedFile>>(
        selected.Count(), workers, 2 * workers, [&](size_t index, size_t worker) {
            return kept[index] ? PreparedFile{}
                               : PrepareFile(s, selected[index], fileWorkers[worker]);
        });
    std::unique_ptr<FileWorker> lateWorker;

    try {
        int position = 0;
        for (const std::string& name : selected) {
            ++position;
            host.SetFileName(name);
            FileOutcome& outcome = result.files.emplace_back();
            outcome.source = name;
            PreparedFile f = ahead->Take(static_cast<size_t>(position - 1));
            if (const auto& k = kept[position - 1]) {
                if (!naming.IsUsed(k->destination)) {
                    naming.Reserve(k->destination);
                    outcome.destination = k->destination;
                    outcome.width = k->width;
                    outcome.height = k->height;
                    outcome.kind = FileOutcome::Skipped;
                    ++result.skipped;
                    if (succeeded(k->destination, k->width, k->height, name, position))
                        break;
                    continue;
                }
                // An output of this run has taken its name after all: it is made anew.
                if (!lateWorker)
                    lateWorker = std::make_unique<FileWorker>();
                f = PrepareFile(s, name, *lateWorker);
            }
            if (f.stage == PreparedFile::NotOpened) {
                failed("M004", s.SDir + name, f.reason, position);
                continue;
            }
            // Until the name is formed, a failure names the source inside the destination.
            if (f.stage == PreparedFile::NotDrawn) {
                failed("M005", s.DDir + name, f.reason, position);
                continue;
            }
            DestinationName dest = naming.FormDestinationName(name, position);
            const std::string destPath = s.DDir + dest.FileName();
            outcome.destination = dest.FileName();
            try {
                if (!dest.folderReady)
                    throw EFCreateError("Cannot create folder " + s.DDir);
                if (f.stage != PreparedFile::Encoded)
                    throw EInvalidGraphic(f.reason);
                WriteOutputFile(destPath, f.output);
            } catch (const std::exception& e) {
                failed("M005", destPath, FailureReason(e), position);
                continue;
            }

            outcome.width = f.width;
            outcome.height = f.height;
            outcome.kind = FileOutcome::Written;
            if (succeeded(dest.FileName(), f.width, f.height, name, position))
                break;
        }
        ranToEnd = !result.aborted;
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return result;
}

std::vector<FileOutcome> PlanTheRun(const JobSettings& s, const SelectedFileList& selected)
{
    std::vector<FileOutcome> plan;
    std::unique_ptr<TRunState> state;
    if (s.SkipUnchanged)
        state = std::make_unique<TRunState>(s);
    const std::vector<std::optional<TRunState::Entry>> kept =
        UnchangedFiles(s, selected, state.get());
    TDestinationNaming naming(s, false);
    FileWorker o;
    int position = 0;
    for (const std::string& name : selected) {
        ++position;
        FileOutcome& outcome = plan.emplace_back();
        outcome.source = name;
        if (const auto& k = kept[position - 1]; k && !naming.IsUsed(k->destination)) {
            naming.Reserve(k->destination);
            outcome.destination = k->destination;
            outcome.width = k->width;
            outcome.height = k->height;
            outcome.kind = FileOutcome::Skipped;
            continue;
        }
        // The steps of PrepareFile up to the size, then the naming of the run.
        FileWorker::Emptied emptied{o};
        if (!LoadSource(o.loader, s.SDir + name, outcome.reason)) {
            outcome.message = Format(LangMessage("M004"), {s.SDir + name});
            continue;
        }
        TargetSize size;
        try {
            const int orientation = s.AutoRotate ? ReadExifOrientation(s.SDir + name) : 1;
            size = OutputSize(s, *o.loader.Picture().Graphic(), orientation);
        } catch (const std::exception& e) {
            outcome.reason = FailureReason(e);
            outcome.message = Format(LangMessage("M005"), {s.DDir + name});
            continue;
        }
        outcome.destination = naming.FormDestinationName(name, position).FileName();
        outcome.width = static_cast<int>(size.width);
        outcome.height = static_cast<int>(size.height);
        outcome.kind = FileOutcome::Written;
    }
    return plan;
}

int DefaultJobs()
{
    unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

} // namespace tabulonix
