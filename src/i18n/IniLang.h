#pragma once
#include <map>
#include <memory>
#include <string>

namespace tabulonix {

// A language file read whole into memory: sections of key/value texts, names matched
// without regard to letter case. Values are UTF-8 (see DecodeLanguageText).
class TLanguageFile {
  public:
    // Parses the text of a language file (any bytes; never throws on content).
    static TLanguageFile Parse(const std::string& bytes);

    // The value of `key` in `section`, or `fallback` when the file has no such key.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) const;
    bool HasKey(const std::string& section, const std::string& key) const;
    bool HasSection(const std::string& section) const;

    // Every value the file holds, for diagnostics and tests: "[SECTION]" lines, each
    // followed by its "KEY=value" lines, names upper-cased and sorted.
    std::string Dump() const;

  private:
    // Upper-cased section name -> upper-cased key -> value.
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

using LanguageFilePtr = std::shared_ptr<const TLanguageFile>;

// Files larger than this are refused like a missing file; real language files are a few
// dozen kilobytes.
constexpr size_t kMaxLanguageFileSize = 16u << 20;
// Reading stops after this many sections and keys, which bounds the memory a hostile file
// can take (a real file holds about a thousand).
constexpr size_t kMaxLanguageEntries = 200000;

// Reads the file at the executable's folder + `relativePath` ("Languages/" + name + ".txt",
// where "Languages/" is the language folder of FileLocations), or returns null when it does not
// exist or cannot be read. Does not touch the current file.
LanguageFilePtr OpenLanguageFile(const std::string& relativePath);
// The same for a full path.
LanguageFilePtr OpenLanguageFileAt(const std::string& path);

// The language file opened most recently for the program (null: none, English defaults).
LanguageFilePtr CurrentLanguageFile();
void SetCurrentLanguageFile(LanguageFilePtr file);

// The usual opening: "Languages/" + name + ".txt" beside the executable becomes the
// current file (none when it is missing). Returns the new current file.
LanguageFilePtr OpenCurrentLanguage(const std::string& languageName);

// The relative path of a language's file, "Languages/" + name + ".txt".
std::string LanguageFileRelativePath(const std::string& languageName);

} // namespace tabulonix
