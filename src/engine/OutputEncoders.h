#pragma once
#include "engine/JobSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tabulonix {

class TBitmap;

// The encoder objects of one run (made once, reused for every file) and the one step that
// turns the work surface into an output file of a given format.
class TOutputEncoders {
  public:
    TOutputEncoders();
    ~TOutputEncoders();
    TOutputEncoders(const TOutputEncoders&) = delete;
    TOutputEncoders& operator=(const TOutputEncoders&) = delete;

    // The bytes of `surface` encoded as output format `format` (TOutputFormat).
    // `extension` is the output's extension (".wmf" forces the Windows metafile form).
    // Throws on any failure; the engine reports it for the file.
    std::vector<uint8_t> Encode(int format, TBitmap& surface, const std::string& extension,
                                const JobSettings& settings);
    // Encodes and writes `path`, which ends with `extension`.
    void Save(int format, TBitmap& surface, const std::string& path, const std::string& extension,
              const JobSettings& settings);

    // Whether this build can write the format (the others fail every file).
    static bool Available(int format);

    struct Encoders;

  private:
    std::unique_ptr<Encoders> encoders_;
};

// Writes an encoded output file.
void WriteOutputFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace tabulonix
