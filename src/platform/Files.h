#pragma once
#include <string>
#include <vector>

namespace tabulonix {

// The folder of the running executable, ending with "/".
std::string ExecutableFolder();

bool FileExists(const std::string& path);      // a regular file (or a link to one)
bool DirectoryExists(const std::string& path); // a folder (or a link to one)

// Creates the folder and every missing parent. Returns false when it cannot.
bool ForceDirectories(const std::string& path);

struct FolderEntry {
    std::string name; // without folder
    bool isDirectory = false;
};

// The entries of `folder` whose names match the wildcard `mask` ("*" any run, "?" one
// character, compared without regard to ASCII case, "*.*" and "*" match everything), in
// the order the file system lists them. "." and ".." are never listed.
std::vector<FolderEntry> FindFiles(const std::string& folder, const std::string& mask);

// Wildcard match as FindFiles uses it.
bool MatchesMask(const std::string& name, const std::string& mask);

// The folder part of a path including its final "/", or "" when there is none.
std::string ExtractFilePath(const std::string& path);
// The name after the last "/".
std::string ExtractFileName(const std::string& path);
// The extension of the file name including its dot ("" when the name has no dot).
std::string ExtractFileExt(const std::string& path);
// Appends "/" unless the text is empty or already ends with one.
std::string IncludeTrailingSlash(const std::string& folder);

// Whole-file helpers; they throw EFOpenError / EFCreateError with the path in the text.
std::vector<unsigned char> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const void* data, size_t size);

// ASCII and Latin-1 letters folded to lower case, byte by byte.
std::string LowerCase(const std::string& text);
std::string UpperCase(const std::string& text);
bool SameText(const std::string& a, const std::string& b);
// <0, 0, >0 like strcmp, comparing LowerCase of both.
int CompareText(const std::string& a, const std::string& b);

} // namespace tabulonix
