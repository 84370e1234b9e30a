#include "platform/Files.h"

#include "platform/Exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulonix {

std::string ExecutableFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return "./";
        if (static_cast<size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(n));
            return ExtractFilePath(path);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (DirectoryExists(p))
        return true;
    size_t slash = p.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash)))
        return false;
    if (mkdir(p.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && DirectoryExists(p);
}

static unsigned char FoldByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

static unsigned char UpperByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

namespace {

// Case mapping of ASCII and Latin letters. Text is UTF-8 on this platform; a byte that is
// not part of a valid two-byte sequence is taken as a Windows-1252 (Latin-1) letter, as in
// names made on the other platform.
template <bool ToLower> std::string MapCase(const std::string& text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x80) {
            out[i] = static_cast<char>(ToLower ? FoldByte(c) : UpperByte(c));
            continue;
        }
        bool pair = i + 1 < out.size() && (c & 0xE0) == 0xC0 &&
                    (static_cast<unsigned char>(out[i + 1]) & 0xC0) == 0x80;
        if (pair) {
            unsigned cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(out[i + 1]) & 0x3F);
            unsigned mapped = cp;
            if (ToLower) {
                if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
                    mapped = cp + 0x20;
            } else {
                if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)
                    mapped = cp - 0x20;
            }
            // Latin Extended-A pairs: even = capital from U+0100 to U+0137 and U+014A to
            // U+0177, odd = capital from U+0139 to U+0148 and U+0179 to U+017E.
            if (ToLower && cp >= 0x100 && cp <= 0x17F) {
                bool oddCapitals = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
                bool evenCapitals = (cp <= 0x137 && cp != 0x130) || (cp >= 0x14A && cp <= 0x177);
                if (evenCapitals && (cp % 2 == 0))
                    mapped = cp + 1;
                else if (oddCapitals && (cp % 2 == 1))
                    mapped = cp + 1;
                else
                    mapped = cp;
            }
            out[i] = static_cast<char>(0xC0 | (mapped >> 6));
            out[i + 1] = static_cast<char>(0x80 | (mapped & 0x3F));
            ++i;
            continue;
        }
        if ((c & 0xC0) == 0x80 || (c & 0xE0) == 0xE0 || (c & 0xF0) == 0xF0) {
            // Part of a longer UTF-8 sequence: left as it is.
            size_t len = (c & 0xE0) == 0xC0   ? 2
                         : (c & 0xF0) == 0xE0 ? 3
                         : (c & 0xF8) == 0xF0 ? 4
                                              : 1;
            bool valid = i + len <= out.size();
            for (size_t k = 1; valid && k < len; ++k)
                valid = (static_cast<unsigned char>(out[i + k]) & 0xC0) == 0x80;
            if (valid && len > 1) {
                i += len - 1;
                continue;
            }
        }
        // A lone byte: Latin-1 letters.
        if (ToLower && c >= 0xC0 && c <= 0xDE && c != 0xD7)
            out[i] = static_cast<char>(c + 0x20);
        else if (!ToLower && c >= 0xE0 && c <= 0xFE && c != 0xF7)
            out[i] = static_cast<char>(c - 0x20);
    }
    return out;
}

} // namespace

std::string LowerCase(const std::string& text)
{
    return MapCase<true>(text);
}
std::string UpperCase(const std::string& text)
{
    return MapCase<false>(text);
}

bool SameText(const std::string& a, const std::string& b)
{
    return CompareText(a, b) == 0;
}

int CompareText(const std::string& a, const std::string& b)
{
    std::string la = LowerCase(a), lb = LowerCase(b);
    int c = std::memcmp(la.data(), lb.data(), std::min(la.size(), lb.size()));
    if (c != 0)
        return c;
    return la.size() < lb.size() ? -1 : (la.size() > lb.size() ? 1 : 0);
}

bool MatchesMask(const std::string& name, const std::string& mask)
{
    if (mask == "*" || mask == "*.*")
        return true;
    // Iterative wildcard match with backtracking to the last "*".
    size_t n = 0, m = 0, starM = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() &&
            (mask[m] == '?' || FoldByte(static_cast<unsigned char>(mask[m])) ==
                                   FoldByte(static_cast<unsigned char>(name[n])))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

std::vector<FolderEntry> FindFiles(const std::string& folder, const std::string& mask)
{
    std::vector<FolderEntry> entries;
    std::string dir = folder.empty() ? "." : folder;
    std::unique_ptr<DIR, int (*)(DIR*)> handle(opendir(dir.c_str()), closedir);
    if (!handle)
        return entries;
    while (dirent* e = readdir(handle.get())) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (!MatchesMask(name, mask))
            continue;
        FolderEntry entry;
        entry.name = name;
        entry.isDirectory = DirectoryExists(IncludeTrailingSlash(dir) + name);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string ExtractFilePath(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& path)
{
    std::string name = ExtractFileName(path);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string IncludeTrailingSlash(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/')
        return folder;
    return folder + "/";
}

std::vector<unsigned char> ReadWholeFile(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) {
        int error = errno;
        throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(error), error);
    }
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0)
        data.insert(data.end(), chunk, chunk + n);
    if (std::ferror(f.get()))
        throw EStreamError("Error reading file \"" + path + "\"", errno);
    return data;
}

void WriteWholeFile(const std::string& path, const void* data, size_t size)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f) {
        int error = errno;
        throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(error), error);
    }
    if (size > 0 && std::fwrite(data, 1, size, f.get()) != size)
        throw EStreamError("Error writing file \"" + path + "\"", errno);
    if (std::fflush(f.get()) != 0)
        throw EStreamError("Error writing file \"" + path + "\"", errno);
}

} // namespace tabulonix
