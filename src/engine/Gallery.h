#pragma once
#include "engine/JobSettings.h"

#include <string>
#include <string_view>
#include <vector>

namespace tabulonix {

class BatchHost;

// The comment that delimits the generated section of a page.
inline constexpr std::string_view kGalleryMarker =
    "<!--HTML-code created by Tabulonix by Merovane-->";

// False when the file does not exist; otherwise whether its text holds the marker twice
// (the second at least 50 characters after the first begins). Throws EStreamError when the
// file exists but cannot be read.
bool HasGalleryMarkers(const std::string& path);

// Text helpers of the gallery, exposed for tests.
std::vector<std::string> SplitLines(const std::string& text);
std::string JoinLines(const std::vector<std::string>& lines); // CR LF after every line
// Attribute values: & < > " become entities.
std::string EscapeAttribute(const std::string& text);
// URL paths: % # ?, blanks, control bytes and bytes above 0x7E are percent-encoded (the
// rest stays byte for byte).
std::string EscapeUrlPath(const std::string& text);
// "%XX" back into the byte it stands for; anything else as it is.
std::string DecodeUrlPath(const std::string& text);
// The file name of page k of a multipage gallery: k inserted before the extension's dot.
std::string PageFileName(const std::string& htmlFile, int page);

// Collects one fragment per successful image of a run and writes the page(s) at its end.
class TGalleryWriter {
  public:
    TGalleryWriter(const JobSettings& settings, const SelectedFileList& selected, BatchHost& host);

    // `destination` is the output's name and extension; `sourceName` is the source's
    // name in the selection.
    void AddGalleryEntry(const std::string& destination, int width, int height,
                         const std::string& sourceName);
    // Closes an open page and writes the HTML file (create, multipage or update).
    void WriteGallery();

    const std::vector<std::string>& Lines() const { return lines_; }
    int EntryCount() const { return entries_; }

  private:
    bool CreateMode() const { return settings_.CreateHTML == 0; }
    void ClosePage();
    // The path rule: the folder relative to the HTML file's folder, or absolute.
    std::string FolderReference(const std::string& folder, bool& absolute) const;
    bool Save(const std::string& path, const std::vector<std::string>& lines);
    void WriteMultipage();
    void WriteUpdate();

    const JobSettings& settings_;
    const SelectedFileList& selected_;
    BatchHost& host_;
    std::vector<std::string> lines_;
    int q_ = 0; // images on the current line or row
    int r_ = 0; // images in the current cell
    int j_ = 0; // images on the current page
    int entries_ = 0;
};

} // namespace tabulonix
