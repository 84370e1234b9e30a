#pragma once
#include "engine/JobSettings.h"

#include <memory>
#include <string>

namespace tabulonix {

class TBitmap;

// The encoder objects of one run (made once, reused for every file) and the one step that
// turns the work surface into an output file of a given format.
class TOutputEncoders {
  public:
    TOutputEncoders();
    ~TOutputEncoders();
    TOutputEncoders(const TOutputEncoders &) = delete;
    TOutputEncoders &operator=(const TOutputEncoders &) = delete;

    // Encodes `surface` as output format `format` (TOutputFormat) and writes `path`.
    // `extension` is the output's extension (".wmf" forces the Windows metafile form).
    // Throws on any failure; the engine reports it for the file.
    void Save(int format, TBitmap &surface, const std::string &path, const std::string &extension,
              const JobSettings &settings);

    // Whether this build can write the format (the others fail every file).
    static bool Available(int format);

    struct Encoders;

  private:
    std::unique_ptr<Encoders> encoders_;
};

} // namespace tabulonix
