#pragma once
#include "platform/Colors.h"
#include "platform/Exception.h"
#include "settings/SettingsValues.h"

#include <string>
#include <vector>

namespace tabulonix {

// A write to the settings file failed; the message is "Unable to write to <full path>".
class EIniFileException : public Exception {
  public:
    using Exception::Exception;
};

// At most this many characters of a value are read.
constexpr size_t kMaxIniValueLength = 2047;
// Files larger than this are treated as unreadable (reads give defaults, writes fail)
// rather than loaded whole.
constexpr size_t kMaxIniFileSize = 16u << 20;

// The settings file, addressed by full path. Every call opens, uses and closes the file;
// nothing is cached, so two objects on the same path always agree.
//
// Reading rules: section names and keys are compared without regard to letter case;
// blanks (spaces, tabs) around keys and values are dropped; one pair of matching double
// or single quotation marks around a value is removed. Line ends may be CR LF, LF or CR.
// Lines the program never writes are handled like this:
//  - a line inside a section that is neither a header nor holds "=" is ignored, and so
//    is any line before the first header; lines starting with ";" are comments;
//  - when a section name has several headers, only the first block is read and written;
//  - when a key occurs more than once in that block, the first occurrence counts.
// Writes keep every other line byte for byte and are atomic (see WriteString).
class TIniFile {
  public:
    explicit TIniFile(std::string path) : path_(std::move(path)) {}
    const std::string& FileName() const { return path_; }

    bool ValueExists(const std::string& section, const std::string& key) const;

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) const;
    // Decimal, "0x"/"0X"/"$" hexadecimal; anything else gives the fallback.
    int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
    // Read as an integer; non-zero is true.
    bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;
    // The short date format of the locale (or `format` when given).
    TDate ReadDate(const std::string& section, const std::string& key, TDate fallback,
                   const std::string& format = {}) const;
    // A colour name or an integer; other text throws EConvertError
    // ("'<text>' is not a valid integer value").
    TColor ReadColor(const std::string& section, const std::string& key, TColor fallback) const;

    // Replaces the key's value in place, or adds the key at the end of its section, or
    // adds the section at the end of the file (creating it). The new content is written
    // beside the file and renamed over it, so a failure never leaves a truncated file.
    // Throws EIniFileException on failure; the file is then unchanged.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void WriteDate(const std::string& section, const std::string& key, TDate value,
                   const std::string& format = {});
    void WriteColor(const std::string& section, const std::string& key, TColor value);

  private:
    std::string path_;
};

// The text-level operations under TIniFile, on the file's bytes.
namespace ini {

// Finds the value as TIniFile reads it (quotes removed, at most kMaxIniValueLength).
bool FindValue(const std::string& content, const std::string& section, const std::string& key,
               std::string& value);

struct IniEntry {
    std::string section; // as written in its header
    std::string key;     // as written
    std::string value;   // as read
};
// Every value the reader can see, in file order: the first block of each section name
// and the first occurrence of each key in it.
std::vector<IniEntry> Entries(const std::string& content);

// The content after writing `value`; CR and LF inside the value become blanks so that a
// value can never add lines of its own.
std::string SetValue(const std::string& content, const std::string& section, const std::string& key,
                     const std::string& value);

} // namespace ini

} // namespace tabulonix
