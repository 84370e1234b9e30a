#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tabulonix::test {

// A fresh folder under the system's temporary folder, removed with its content at the end
// of the scope. Path() ends with "/".
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }

  private:
    std::string path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// True when the suite runs in CI (CI=true): there a missing reference tool or corpus file
// is a failure, since a skip would quietly drop the coverage.
bool InCi();

// Skips the test with the reason when `condition` does not hold, or fails it in CI.
#define TABULONIX_NEED(condition, what)                                                            \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            if (::tabulonix::test::InCi())                                                         \
                FAIL() << "missing: " << what;                                                     \
            else                                                                                   \
                GTEST_SKIP() << "missing: " << what;                                               \
        }                                                                                          \
    } while (0)

// Whether a command is on the PATH, and whether python3 can import Pillow (cached).
bool HaveTool(const std::string& command);
bool HavePillow();
// Throws when a reference tool is missing, so that its silence is never read as a verdict.
void RequireTool(const std::string& command, const std::string& package);

// The image corpus (tests/corpus/ of the checkout, or $TABULONIX_CORPUS), ending with "/";
// "" when absent. In CI an absent corpus throws.
std::string CorpusDir();
// Sorted names of the files in a corpus folder (e.g. "png") with one of the extensions
// (lower case, without dot; empty list = every file). A missing folder gives an empty list,
// or throws in CI.
std::vector<std::string> CorpusFiles(const std::string& folder,
                                     const std::vector<std::string>& extensions = {});

// The folder of the built executables (build/bin/).
std::string BinDir();

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs a shell command line, capturing stdout and stderr.
CommandResult RunCommand(const std::string& commandLine);
std::string ShellQuote(const std::string& text);

// An independent decoding of a picture file: 8-bit RGBA rows top-down.
struct ReferenceImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    std::string mode; // the reference decoder's own mode name ("P", "RGB", "L", ...)
};
// Decodes with python3-pil (/usr/bin/python3); std::nullopt when it cannot read the file.
// Throws when Pillow itself is missing: "cannot read" would then be a wrong verdict.
std::optional<ReferenceImage> DecodeWithPillow(const std::string& path, int frame = 0);
// For palette pictures: the index of every pixel (Pillow's "P" mode) and the palette.
struct ReferenceIndexed {
    int width = 0, height = 0;
    std::vector<uint8_t> indices;
    std::vector<uint8_t> paletteRgb; // 3 bytes per entry
};
std::optional<ReferenceIndexed> DecodeIndexedWithPillow(const std::string& path);

// Every bit flipped in turn is too many for large files: this yields `count` mutated copies
// of `data` (bit flips, byte changes, truncations), deterministic for a given seed.
std::vector<std::vector<uint8_t>> MutatedCopies(const std::vector<uint8_t>& data, int count,
                                                uint32_t seed);

} // namespace tabulonix::test
