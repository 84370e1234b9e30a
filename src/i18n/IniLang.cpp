#include "i18n/IniLang.h"

#include "i18n/TextEncoding.h"
#include "platform/FileLocations.h"
#include "platform/Files.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace tabulonix {

namespace {

std::mutex currentMutex;
LanguageFilePtr currentFile;

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& s, size_t begin, size_t end)
{
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// Reads at most kMaxLanguageFileSize + 1 bytes so an oversized file is noticed without
// reading it all.
bool ReadBounded(const std::string& path, std::string& out)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f)
        return false;
    out.clear();
    char buffer[65536];
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
        if (n == 0)
            break;
        out.append(buffer, n);
        if (out.size() > kMaxLanguageFileSize)
            return false;
    }
    return !std::ferror(f.get());
}

} // namespace

TLanguageFile TLanguageFile::Parse(const std::string& bytes)
{
    TLanguageFile file;
    const std::string text = DecodeLanguageText(bytes);
    std::map<std::string, std::string>* section = nullptr;
    size_t pos = 0;
    size_t entries = 0;
    const size_t n = text.size();
    while (pos < n && entries < kMaxLanguageEntries) {
        size_t end = pos;
        while (end < n && text[end] != '\r' && text[end] != '\n')
            ++end;
        std::string line = Trim(text, pos, end);
        // One line end: CR LF, LF or CR.
        if (end < n && text[end] == '\r' && end + 1 < n && text[end + 1] == '\n')
            pos = end + 2;
        else
            pos = end + 1;

        if (line.empty() || line[0] == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            // A repeated header starts the section afresh: only its last block is seen.
            std::string name = UpperCase(Trim(line, 1, line.size() - 1));
            section = &file.sections_[name];
            entries -= section->size(); // the earlier block is dropped
            section->clear();
            ++entries;
            continue;
        }
        if (!section)
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        entries +=
            section->insert_or_assign(UpperCase(Trim(line, 0, eq)), Trim(line, eq + 1, line.size()))
                .second;
    }
    return file;
}

std::string TLanguageFile::ReadString(const std::string& section, const std::string& key,
                                      const std::string& fallback) const
{
    auto s = sections_.find(UpperCase(section));
    if (s == sections_.end())
        return fallback;
    auto k = s->second.find(UpperCase(key));
    return k == s->second.end() ? fallback : k->second;
}

bool TLanguageFile::HasKey(const std::string& section, const std::string& key) const
{
    auto s = sections_.find(UpperCase(section));
    return s != sections_.end() && s->second.count(UpperCase(key)) != 0;
}

bool TLanguageFile::HasSection(const std::string& section) const
{
    return sections_.count(UpperCase(section)) != 0;
}

std::string TLanguageFile::Dump() const
{
    std::string out;
    for (const auto& [section, keys] : sections_) {
        out += "[" + section + "]\n";
        for (const auto& [key, value] : keys)
            out += key + "=" + value + "\n";
    }
    return out;
}

LanguageFilePtr OpenLanguageFileAt(const std::string& path)
{
    if (!FileExists(path))
        return nullptr;
    std::string bytes;
    if (!ReadBounded(path, bytes))
        return nullptr;
    return std::make_shared<const TLanguageFile>(TLanguageFile::Parse(bytes));
}

LanguageFilePtr OpenLanguageFile(const std::string& relativePath)
{
    // "Languages/" is wherever this copy keeps its language files.
    const std::string languages = "Languages/";
    if (relativePath.rfind(languages, 0) == 0)
        return OpenLanguageFileAt(Locations().languageFolder +
                                  relativePath.substr(languages.size()));
    return OpenLanguageFileAt(ExecutableFolder() + relativePath);
}

LanguageFilePtr CurrentLanguageFile()
{
    std::lock_guard<std::mutex> lock(currentMutex);
    return currentFile;
}

void SetCurrentLanguageFile(LanguageFilePtr file)
{
    std::lock_guard<std::mutex> lock(currentMutex);
    currentFile = std::move(file);
}

std::string LanguageFileRelativePath(const std::string& languageName)
{
    return "Languages/" + languageName + ".txt";
}

LanguageFilePtr OpenCurrentLanguage(const std::string& languageName)
{
    LanguageFilePtr file = OpenLanguageFile(LanguageFileRelativePath(languageName));
    SetCurrentLanguageFile(file);
    return file;
}

} // namespace tabulonix
