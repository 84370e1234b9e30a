#pragma once
#include "platform/Colors.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tabulonix {

// Output formats by their index in the wizard's list.
enum TOutputFormat : int {
    ofJPEG = 0,
    ofGIF = 1,
    ofPNG = 2,
    ofBMP = 3,
    ofWMF = 4,
    ofEMF = 5,
    ofTGA = 6,
};
constexpr int kOutputFormatCount = 7;

// Everything one batch run needs, one field per wizard control and named after it.
struct JobSettings {
    // Page 1: 0 thumbnails, 1 convert only.
    int ToDo = 0;

    // Page 2. Folder paths end with "/".
    std::string SDir;
    std::string DDir;
    bool Overwrite = true;

    // Page 3.
    int Leveys = 100;  // requested width
    int Korkeus = 100; // requested height
    int Aspect = 0;    // 0 favour height, 1 favour width, 2 no, 3 fit in the box
    bool StretchSmall = false;
    bool AutoRotate = false; // turn sources upright by their EXIF orientation (both tasks)
    bool Smooth = false;     // average the covered source pixels when shrinking
    bool DrawFrame = false;
    TColor Color = clBlack;
    int16_t Size = 1; // frame pen width 1..100

    // Page 4.
    int Format = ofJPEG;
    bool KeepFormat = true;
    std::string NameFormat = "<same>";
    std::string Extension = "default";
    int TrackBar = 80; // JPEG quality 1..100
    bool Progressive = true;
    int PNGTrackBar = 9; // 0..9
    // Leave out sources whose output of an earlier run with the same settings is newer.
    bool SkipUnchanged = false;

    // Page 5: 0 create, 1 update, 2 none.
    int CreateHTML = 0;
    std::string HTMLFile;
    bool FillDimensions = true;
    bool UseTable = true;
    bool Link = true;
    std::string Target;
    int16_t BRUp = 5;      // 1..10000
    int16_t IBorderUp = 0; // 0..20
    int16_t BorderUp = 1;  // 0..20
    int16_t TDUp = 1;      // 1..10000
    int16_t TRUp = 5;      // 1..10000
    bool CenterCell = true;
    bool CreateMulti = false;
    int16_t ImageCountUp = 20; // 1..10000
};

// The source file names of a run, sorted without regard to letter case, each name once
// (names equal but for case count as one). A file's 1-based position is its "<inc>" number.
class SelectedFileList {
  public:
    // <0, 0, >0 like strcmp; the wizard passes its locale collation, the default folds
    // ASCII and Latin letters.
    using Compare = std::function<int(const std::string&, const std::string&)>;
    SelectedFileList();
    explicit SelectedFileList(Compare compare) : compare_(std::move(compare)) {}

    // Inserts in order; returns false when an equal name is already there.
    bool Add(const std::string& name);
    void Clear() { names_.clear(); }
    size_t Count() const { return names_.size(); }
    bool Empty() const { return names_.empty(); }
    const std::string& operator[](size_t i) const { return names_[i]; }
    const std::vector<std::string>& Names() const { return names_; }
    auto begin() const { return names_.begin(); }
    auto end() const { return names_.end(); }

  private:
    Compare compare_;
    std::vector<std::string> names_;
};

// The list made from names in any order.
SelectedFileList MakeSelectedFiles(const std::vector<std::string>& names,
                                   SelectedFileList::Compare compare = nullptr);

} // namespace tabulonix
