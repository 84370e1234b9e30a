#include "engine/DestinationNaming.h"

#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/SafeFile.h"

#include <cerrno>
#include <cstring>

namespace tabulonix {

namespace {

struct KeptFormat {
    const char* source;
    const char* written;
    int format;
};

constexpr KeptFormat kKeptFormats[] = {
    {".jfif", ".jpg", ofJPEG}, {".jpe", ".jpg", ofJPEG}, {".jpeg", ".jpg", ofJPEG},
    {".jpg", ".jpg", ofJPEG},  {".gif", ".gif", ofGIF},  {".png", ".png", ofPNG},
    {".bmp", ".bmp", ofBMP},   {".rle", ".bmp", ofBMP},  {".dib", ".bmp", ofBMP},
    {".wmf", ".wmf", ofWMF},   {".emf", ".emf", ofEMF},  {".tga", ".tga", ofTGA},
    {".vst", ".tga", ofTGA},   {".icb", ".tga", ofTGA},  {".vda", ".tga", ofTGA},
    {".win", ".tga", ofTGA},
};

// Replaces every occurrence of `tag` (ASCII case ignored) by `value`, scanning left to
// right over the original text so an inserted value is never searched again.
std::string ReplaceTag(const std::string& text, const std::string& tag, const std::string& value)
{
    std::string lower = LowerCase(text);
    std::string out;
    size_t from = 0;
    while (true) {
        size_t at = lower.find(tag, from);
        if (at == std::string::npos)
            break;
        out.append(text, from, at - from);
        out += value;
        from = at + tag.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

} // namespace

void KeptFormatFor(const std::string& sourceExtension, std::string& extension, int& format)
{
    std::string ext = LowerCase(sourceExtension);
    if (!ext.empty() && ext[0] != '.')
        ext.insert(ext.begin(), '.');
    for (const auto& k : kKeptFormats)
        if (ext == k.source) {
            extension = k.written;
            format = k.format;
            return;
        }
    extension = ".jpg";
    format = ofJPEG;
}

std::string SourceExtension(const std::string& sourceName)
{
    size_t dot = sourceName.rfind('.');
    size_t slash = sourceName.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return sourceName.substr(dot);
}

void OutputFormatFor(const JobSettings& settings, const std::string& sourceName,
                     std::string& extension, int& format)
{
    std::string sourceExt = SourceExtension(sourceName);
    extension = "." + settings.Extension;
    format = settings.Format;
    if (settings.KeepFormat)
        KeptFormatFor(sourceExt, extension, format);
}

std::string ApplyNamePattern(const std::string& pattern, const std::string& base, int position)
{
    // Two passes in this order: a base that itself holds "<inc>" gets numbered too.
    return ReplaceTag(ReplaceTag(pattern, "<same>", base), "<inc>", std::to_string(position));
}

bool ForcesWindowsMetafile(const std::string& extension)
{
    return SameText(extension, ".wmf");
}

bool TDestinationNaming::NoCase::operator()(const std::string& a, const std::string& b) const
{
    return CompareText(a, b) < 0;
}

std::string PrepareDestinationFolder(const std::string& folder)
{
    errno = 0;
    if (!ForceDirectories(folder))
        // A file standing where a folder should be: say so rather than "File exists".
        return std::strerror(errno && errno != EEXIST ? errno : ENOTDIR);
    try {
        // The temporary file a save writes first, made and removed again.
        SafeFileWriter probe(folder + "probe");
    } catch (const EStreamError& e) {
        return std::strerror(e.ErrorNumber() ? e.ErrorNumber() : EACCES);
    }
    return {};
}

namespace {

// The suffixes accumulate: a, a(1), a(1)(2), ...
void AddSuffix(DestinationName& out, int n)
{
    out.name.append("(").append(std::to_string(n)).append(")");
}

} // namespace

DestinationName TDestinationNaming::Candidate(const std::string& sourceName, int position) const
{
    DestinationName out;
    size_t slash = sourceName.rfind('/');
    std::string folder =
        slash == std::string::npos ? std::string() : sourceName.substr(0, slash + 1);
    std::string file = sourceName.substr(folder.size());
    std::string base = file.substr(0, file.size() - SourceExtension(file).size());

    out.name = folder;
    out.name.append(ApplyNamePattern(settings_.NameFormat, base, position));
    OutputFormatFor(settings_, sourceName, out.extension, out.format);
    for (int n = 1; used_.count(out.name + out.extension) != 0; ++n)
        AddSuffix(out, n);
    return out;
}

DestinationName TDestinationNaming::FormDestinationName(const std::string& sourceName, int position)
{
    DestinationName out = Candidate(sourceName, position);
    if (createFolders_)
        out.folderReady = ForceDirectories(settings_.DDir + ExtractFilePath(sourceName));
    if (!settings_.Overwrite)
        for (int n = 1; FileExists(settings_.DDir + out.name + out.extension); ++n)
            AddSuffix(out, n);

    used_.insert(out.name + out.extension);
    return out;
}

} // namespace tabulonix
