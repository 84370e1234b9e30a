#include "settings/IniFile.h"

#include "platform/Files.h"
#include "platform/SafeFile.h"
#include "settings/ColorNames.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tabulonix {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct Line {
    size_t begin; // first byte of the line
    size_t end;   // end of its text (before the line end)
    size_t next;  // first byte after its line end
};

// The line starting at `pos` (pos < content.size()). Lines are found one at a time so that
// a file of millions of empty lines costs no memory per line.
Line LineAt(const std::string& content, size_t pos)
{
    const size_t n = content.size();
    size_t end = pos;
    while (end < n && content[end] != '\r' && content[end] != '\n')
        ++end;
    size_t next = end;
    if (next < n) {
        if (content[next] == '\r' && next + 1 < n && content[next + 1] == '\n')
            next += 2;
        else
            next += 1;
    }
    return {pos, end, next};
}

void TrimRange(const std::string& s, size_t& begin, size_t& end)
{
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
}

enum class LineKind { Other, Header, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    size_t nameBegin = 0, nameEnd = 0;   // section name or key, trimmed
    size_t valueBegin = 0, valueEnd = 0; // value, trimmed (quotes still on)
};

ParsedLine ParseLine(const std::string& s, const Line& line)
{
    ParsedLine parsed;
    size_t b = line.begin, e = line.end;
    TrimRange(s, b, e);
    if (b == e || s[b] == ';')
        return parsed;
    if (s[b] == '[' && e - b >= 2 && s[e - 1] == ']') {
        parsed.kind = LineKind::Header;
        parsed.nameBegin = b + 1;
        parsed.nameEnd = e - 1;
        TrimRange(s, parsed.nameBegin, parsed.nameEnd);
        return parsed;
    }
    // Bounded to the line: an unbounded search would make a file of many lines without
    // "=" quadratic.
    const void* at = std::memchr(s.data() + b, '=', e - b);
    if (!at)
        return parsed;
    const size_t eq = static_cast<size_t>(static_cast<const char*>(at) - s.data());
    parsed.kind = LineKind::Key;
    parsed.nameBegin = b;
    parsed.nameEnd = eq;
    TrimRange(s, parsed.nameBegin, parsed.nameEnd);
    parsed.valueBegin = eq + 1;
    parsed.valueEnd = e;
    TrimRange(s, parsed.valueBegin, parsed.valueEnd);
    return parsed;
}

bool SameRange(const std::string& s, size_t begin, size_t end, const std::string& name)
{
    return end - begin == name.size() && SameText(s.substr(begin, end - begin), name);
}

// Where a section's first block lies, and where the key is within it.
struct Location {
    bool sectionFound = false;
    Line lastContent{}; // last non-blank line of the block (the header at least)
    bool keyFound = false;
    Line keyLine{};
    ParsedLine key;
};

Location Locate(const std::string& content, const std::string& section, const std::string& keyName)
{
    Location loc;
    for (size_t pos = 0; pos < content.size();) {
        const Line line = LineAt(content, pos);
        pos = line.next;
        ParsedLine p = ParseLine(content, line);
        if (p.kind == LineKind::Header) {
            if (loc.sectionFound)
                break; // only the first block of a name counts
            if (SameRange(content, p.nameBegin, p.nameEnd, section)) {
                loc.sectionFound = true;
                loc.lastContent = line;
            }
            continue;
        }
        if (!loc.sectionFound)
            continue;
        size_t b = line.begin, e = line.end;
        TrimRange(content, b, e);
        if (b != e)
            loc.lastContent = line;
        if (!loc.keyFound && p.kind == LineKind::Key &&
            SameRange(content, p.nameBegin, p.nameEnd, keyName)) {
            loc.keyFound = true;
            loc.keyLine = line;
            loc.key = p;
        }
    }
    return loc;
}

std::string CleanValue(const std::string& value)
{
    std::string clean(value);
    for (auto& c : clean)
        if (c == '\r' || c == '\n')
            c = ' ';
    return clean;
}

// The value as read: one pair of matching quotes removed, at most kMaxIniValueLength.
std::string ValueText(const std::string& content, const ParsedLine& key)
{
    size_t b = key.valueBegin, e = key.valueEnd;
    if (e - b >= 2 && (content[b] == '"' || content[b] == '\'') && content[e - 1] == content[b]) {
        ++b;
        --e;
    }
    return content.substr(b, std::min(e - b, kMaxIniValueLength));
}

bool EndsWithLineEnd(const std::string& s)
{
    return !s.empty() && (s.back() == '\n' || s.back() == '\r');
}

enum class ReadResult { Ok, Missing, Failed };

// Reads the whole file, refusing more than kMaxIniFileSize bytes.
ReadResult ReadFileBounded(const std::string& path, std::string& out)
{
    out.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    char buffer[65536];
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
        if (n == 0)
            break;
        if (out.size() + n > kMaxIniFileSize)
            return ReadResult::Failed;
        out.append(buffer, n);
    }
    return std::ferror(f.get()) ? ReadResult::Failed : ReadResult::Ok;
}

[[noreturn]] void WriteFailed(const std::string& path)
{
    throw EIniFileException(Format("Unable to write to %s", {path}));
}

} // namespace

namespace ini {

bool FindValue(const std::string& content, const std::string& section, const std::string& key,
               std::string& value)
{
    Location loc = Locate(content, section, key);
    if (!loc.keyFound)
        return false;
    value = ValueText(content, loc.key);
    return true;
}

std::vector<IniEntry> Entries(const std::string& content)
{
    std::vector<IniEntry> entries;
    std::vector<std::string> seenSections;
    std::vector<std::string> seenKeys;
    bool inFirstBlock = false;
    std::string section;
    for (size_t pos = 0; pos < content.size();) {
        const Line line = LineAt(content, pos);
        pos = line.next;
        ParsedLine p = ParseLine(content, line);
        if (p.kind == LineKind::Header) {
            section = content.substr(p.nameBegin, p.nameEnd - p.nameBegin);
            const std::string folded = LowerCase(section);
            inFirstBlock =
                std::find(seenSections.begin(), seenSections.end(), folded) == seenSections.end();
            if (inFirstBlock)
                seenSections.push_back(folded);
            seenKeys.clear();
            continue;
        }
        if (p.kind != LineKind::Key || !inFirstBlock)
            continue;
        std::string key = content.substr(p.nameBegin, p.nameEnd - p.nameBegin);
        const std::string folded = LowerCase(key);
        if (std::find(seenKeys.begin(), seenKeys.end(), folded) != seenKeys.end())
            continue;
        seenKeys.push_back(folded);
        entries.push_back({section, key, ValueText(content, p)});
    }
    return entries;
}

std::string SetValue(const std::string& content, const std::string& section, const std::string& key,
                     const std::string& value)
{
    const std::string clean = CleanValue(value);
    Location loc = Locate(content, section, key);
    std::string out;
    out.reserve(content.size() + key.size() + clean.size() + section.size() + 8);
    if (loc.keyFound) {
        const Line& line = loc.keyLine;
        out.append(content, 0, line.begin);
        out.append(content, loc.key.nameBegin, loc.key.nameEnd - loc.key.nameBegin);
        out += '=';
        out += clean;
        out.append(content, line.end, std::string::npos);
        return out;
    }
    if (loc.sectionFound) {
        const Line& after = loc.lastContent;
        out.append(content, 0, after.next);
        if (after.next == after.end) // the file's last line had no line end
            out += "\r\n";
        out += key + "=" + clean + "\r\n";
        out.append(content, after.next, std::string::npos);
        return out;
    }
    out = content;
    if (!out.empty() && !EndsWithLineEnd(out))
        out += "\r\n";
    out += "[" + section + "]\r\n" + key + "=" + clean + "\r\n";
    return out;
}

} // namespace ini

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    std::string content, value;
    return ReadFileBounded(path_, content) == ReadResult::Ok &&
           ini::FindValue(content, section, key, value);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const
{
    std::string content, value;
    if (ReadFileBounded(path_, content) == ReadResult::Ok &&
        ini::FindValue(content, section, key, value))
        return value;
    return fallback;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const
{
    return StrToIntDef(ReadString(section, key, ""), fallback);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

TDate TIniFile::ReadDate(const std::string& section, const std::string& key, TDate fallback,
                         const std::string& format) const
{
    TDate date;
    return TryParseShortDate(ReadString(section, key, ""), date, format) ? date : fallback;
}

TColor TIniFile::ReadColor(const std::string& section, const std::string& key,
                           TColor fallback) const
{
    return StringToColor(ReadString(section, key, ColorToString(fallback)));
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value)
{
    const std::string target = ResolveLink(path_);
    std::string content;
    // An unreadable existing file must not be replaced by one holding a single key.
    if (ReadFileBounded(target, content) == ReadResult::Failed)
        WriteFailed(path_);
    if (!ReplaceFileContent(target, ini::SetValue(content, section, key, value)))
        WriteFailed(path_);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteDate(const std::string& section, const std::string& key, TDate value,
                         const std::string& format)
{
    WriteString(section, key, FormatShortDate(value, format));
}

void TIniFile::WriteColor(const std::string& section, const std::string& key, TColor value)
{
    WriteString(section, key, ColorToString(value));
}

} // namespace tabulonix
