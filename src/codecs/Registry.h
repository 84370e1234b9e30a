#pragma once
#include "codecs/core/Graphic.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tabulonix {

// A picture class as the registry knows it: its name and how to make an empty object.
struct TGraphicClass {
    std::string name;
    std::function<std::unique_ptr<TGraphic>()> create;
};

struct TFileFormat {
    std::string extension; // lower case, without the dot
    std::string description;
    TGraphicClass graphicClass;
    int descriptionResource = 0;
};

// The ordered list of readable formats. Look-up walks from the last entry to the first, so
// a later registration of an extension shadows an earlier one.
class TFileFormatsList {
  public:
    void Add(const std::string& extension, const std::string& description, TGraphicClass cls);
    const TGraphicClass* FindExtension(const std::string& extension) const;
    const std::vector<TFileFormat>& Entries() const { return entries_; }

  private:
    std::vector<TFileFormat> entries_;
};

// The process-wide registry, made on first use with every format of the program.
TFileFormatsList& FileFormats();

void RegisterFormat(const std::string& extension, const std::string& description,
                    TGraphicClass cls);
const TGraphicClass* FindExtension(const std::string& extension);

// The extensions that open a picture, lower case, sorted (the picker lists exactly these).
std::vector<std::string> ReadableExtensions();

template <class T> TGraphicClass GraphicClassOf()
{
    return TGraphicClass{T().ClassName(),
                         [] { return std::unique_ptr<TGraphic>(std::make_unique<T>()); }};
}

} // namespace tabulonix
