#include "engine/Gallery.h"

#include "codecs/core/Stream.h"
#include "engine/BatchHost.h"
#include "i18n/Messages.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/SafeFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tabulonix {

namespace {

const std::string dq = "\"";

std::string ReadText(const std::string& path)
{
    std::vector<unsigned char> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// The file's lines joined with CR LF, as the update steps count their positions in it.
std::string ReadNormalised(const std::string& path)
{
    return JoinLines(SplitLines(ReadText(path)));
}

// Position of the first marker, and whether a second one starts 50 or more characters
// after it; npos when there is no such pair.
size_t MarkerPair(const std::string& text)
{
    size_t a = text.find(kGalleryMarker);
    if (a == std::string::npos)
        return std::string::npos;
    if (text.find(kGalleryMarker, a + kGalleryMarker.size() + 1) == std::string::npos)
        return std::string::npos;
    return a;
}

// Case-insensitive removal of every occurrence of `what`.
std::string RemoveAllNoCase(const std::string& text, const std::string& what)
{
    if (what.empty())
        return text;
    std::string lowerText = LowerCase(text), lowerWhat = LowerCase(what);
    std::string out;
    size_t from = 0;
    for (size_t at; (at = lowerText.find(lowerWhat, from)) != std::string::npos;
         from = at + what.size())
        out.append(text, from, at - from);
    out.append(text, from, std::string::npos);
    return out;
}

} // namespace

bool HasGalleryMarkers(const std::string& path)
{
    if (!FileExists(path))
        return false;
    return MarkerPair(ReadNormalised(path)) != std::string::npos;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string EscapeAttribute(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string EscapeUrlPath(const std::string& text)
{
    std::string out;
    for (char c : text) {
        // Bytes outside printable ASCII too, so that a name resolves whatever character
        // set the browser reads the page in (and a tab or space keeps its link whole).
        const unsigned char b = static_cast<unsigned char>(c);
        if (c == '%' || c == '#' || c == '?' || b < 0x21 || b > 0x7E) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

std::string DecodeUrlPath(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string PageFileName(const std::string& htmlFile, int page)
{
    std::string number = std::to_string(page);
    std::string ext = ExtractFileExt(htmlFile);
    if (ext.empty())
        return htmlFile + number;
    return htmlFile.substr(0, htmlFile.size() - ext.size()) + number + ext;
}

TGalleryWriter::TGalleryWriter(const JobSettings& settings, const SelectedFileList& selected,
                               BatchHost& host)
    : settings_(settings), selected_(selected), host_(host)
{
}

std::string TGalleryWriter::FolderReference(const std::string& folder, bool& absolute) const
{
    std::string r = RemoveAllNoCase(folder, ExtractFilePath(settings_.HTMLFile));
    absolute = !r.empty() && r[0] == '/';
    if (!absolute)
        for (char& c : r)
            if (c == '\\')
                c = '/';
    return r;
}

void TGalleryWriter::AddGalleryEntry(const std::string& destination, int width, int height,
                                     const std::string& sourceName)
{
    const JobSettings& s = settings_;
    if (j_ == 0) {
        if (CreateMode()) {
            lines_.push_back("<HTML>");
            lines_.push_back("<BODY>");
        }
        lines_.push_back(std::string(kGalleryMarker));
        if (s.UseTable)
            lines_.push_back("<TABLE BORDER=" + dq + std::to_string(s.BorderUp) + dq + ">");
    }
    if (s.UseTable && q_ == 0)
        lines_.push_back("<TR>");
    if (s.UseTable && r_ == 0)
        lines_.push_back("<TD" + (s.CenterCell ? " ALIGN=" + dq + "center" + dq : std::string()) +
                         ">");
    ++q_;
    ++r_;
    ++j_;
    ++entries_;

    bool absolute = false;
    std::string r = FolderReference(s.DDir, absolute);
    std::string src = EscapeUrlPath(r + destination);
    std::string image = "<IMG SRC=" + dq + EscapeAttribute(absolute ? "file://" + src : src) + dq;
    if (s.FillDimensions)
        image += " HEIGHT=" + dq + std::to_string(height) + dq + " WIDTH=" + dq +
                 std::to_string(width) + dq;
    image += " BORDER=" + dq + std::to_string(s.IBorderUp) + dq + ">";

    std::string line = image;
    if (s.Link) {
        std::string sr = FolderReference(s.SDir, absolute);
        std::string href = absolute ? "file://" + EscapeUrlPath(s.SDir + sourceName)
                                    : EscapeUrlPath(sr + sourceName);
        std::string link = "<A HREF=" + dq + EscapeAttribute(href) + dq;
        if (!s.Target.empty())
            link += " TARGET=" + dq + EscapeAttribute(s.Target) + dq;
        link += ">";
        line = link + image + "</A>";
    }
    lines_.push_back(line);

    bool last = !selected_.Empty() && sourceName == selected_[selected_.Count() - 1];
    if ((CreateMode() && s.CreateMulti && j_ == s.ImageCountUp) || last)
        ClosePage();
    if (!s.UseTable && q_ == s.BRUp) {
        lines_.push_back("<BR>");
        q_ = 0;
    }
    if (s.UseTable && r_ == s.TDUp) {
        lines_.push_back("</TD>");
        r_ = 0;
    }
    if (s.UseTable && q_ == s.TRUp) {
        lines_.push_back("</TR>");
        q_ = 0;
    }
}

void TGalleryWriter::ClosePage()
{
    j_ = q_ = r_ = 0;
    if (settings_.UseTable) {
        lines_.push_back("</TD>");
        lines_.push_back("</TR>");
        lines_.push_back("</TABLE>");
    }
    lines_.push_back(std::string(kGalleryMarker));
    if (CreateMode()) {
        lines_.push_back("</BODY>");
        lines_.push_back("</HTML>");
    }
}

bool TGalleryWriter::Save(const std::string& path, const std::vector<std::string>& lines)
{
    // Written beside the page and renamed into place, so that a full disk or a killed
    // process never leaves a truncated page (an update would lose the user's own page).
    if (ReplaceFileContent(ResolveLink(path), JoinLines(lines)))
        return true;
    const int error = errno;
    host_.ShowError(Format(LangMessage("M006"), {path}), error ? std::strerror(error) : "");
    return false;
}

void TGalleryWriter::WriteGallery()
{
    if (j_ > 0)
        ClosePage();
    // Without a single image there is nothing to show, and writing would replace an
    // existing page (or its marked section) with nothing.
    if (entries_ == 0)
        return;
    if (CreateMode()) {
        if (settings_.CreateMulti)
            WriteMultipage();
        else
            Save(settings_.HTMLFile, lines_);
    } else if (settings_.CreateHTML == 1) {
        WriteUpdate();
    }
}

void TGalleryWriter::WriteMultipage()
{
    std::vector<std::vector<std::string>> pages(1);
    for (const auto& line : lines_) {
        pages.back().push_back(line);
        if (line == "</HTML>")
            pages.emplace_back();
    }
    if (pages.back().empty()) // the buffer after the last "</HTML>"
        pages.pop_back();
    const std::string& html = settings_.HTMLFile;
    for (size_t i = 0; i < pages.size(); ++i) {
        int k = static_cast<int>(i) + 1;
        std::vector<std::string> nav;
        nav.push_back("<BR><TABLE WIDTH=" + dq + "75%" + dq + ">");
        nav.push_back("<TR>");
        if (k > 1) {
            nav.push_back("<TD ALIGN=" + dq + "left" + dq + ">");
            nav.push_back(
                "<A HREF=" + dq +
                EscapeAttribute(EscapeUrlPath(ExtractFileName(PageFileName(html, k - 1)))) + dq +
                ">&lt;&lt; Back</A>");
            nav.push_back("</TD>");
        }
        if (i + 1 < pages.size()) {
            nav.push_back("<TD ALIGN=" + dq + "right" + dq + ">");
            nav.push_back(
                "<A HREF=" + dq +
                EscapeAttribute(EscapeUrlPath(ExtractFileName(PageFileName(html, k + 1)))) + dq +
                ">Forward &gt;&gt;</A>");
            nav.push_back("</TD>");
        }
        nav.push_back("</TR>");
        nav.push_back("</TABLE>");
        std::vector<std::string>& page = pages[i];
        page.insert(page.end() - std::min<size_t>(3, page.size()), nav.begin(), nav.end());
        Save(PageFileName(html, k), page);
    }
}

void TGalleryWriter::WriteUpdate()
{
    const std::string& path = settings_.HTMLFile;
    if (!FileExists(path)) {
        Save(path, lines_);
        return;
    }
    std::string text;
    try {
        text = ReadNormalised(path);
    } catch (const std::exception& e) {
        host_.ShowError(Format(LangMessage("M004"), {path}), FailureReason(e));
        return; // nothing is written, so the page stays as it is
    }
    size_t a = MarkerPair(text);
    if (a == std::string::npos) {
        // The markers went missing since the mode was chosen: keep the page untouched.
        host_.ShowInformation(LangMessage("M020"));
        return;
    }
    text.erase(a, kGalleryMarker.size() + 1);
    size_t b = text.find(kGalleryMarker, a);
    text.erase(a, b - a + kGalleryMarker.size() + 2);
    text.insert(a, JoinLines(lines_));
    Save(path, SplitLines(text));
}

} // namespace tabulonix
