#pragma once
#include "platform/Colors.h"
#include "settings/IniFile.h"
#include "settings/SettingsValues.h"

#include <string>
#include <variant>
#include <vector>

namespace tabulonix {

// In-memory copies of the three sections. Members are named after the control each key
// feeds. A default-constructed struct is all zeros; DefaultGeneral() etc. give the
// defaults of the key table.
struct GeneralSettings {
    bool ShowSplash = false;
    int LanguageIndex = 0;
    std::string Language;
    std::string FontName;
    int FontSize = 0;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    bool FontStrikeout = false;
};

struct UpdateSettings {
    bool AutoUpdate = false;
    bool AlwaysConnected = false;
    std::string Proxy;
    int ProxyPort = 0;
    bool UseProxy = false;
    int Port = 0;
    std::string Address;
    std::string SaveTo;
    TDate LastChecked;
    int ErrorCount = 0;
};

// The wizard's remembered fields.
struct MainSettings {
    std::string SDir;
    std::string DDir;
    bool Overwrite = false;
    std::string Leveys;  // width, as typed
    std::string Korkeus; // height, as typed
    int Aspect = 0;
    bool StretchSmall = false;
    bool DrawFrame = false;
    TColor Color = 0;
    int UpDown = 0; // frame size
    bool KeepFormat = false;
    int Format = 0;
    std::string NameFormat;
    int TrackBar = 0; // JPEG quality
    bool Progressive = false;
    int PNGTrackBar = 0;
    int CreateHTML = 0;
    bool FillDimensions = false;
    bool UseTable = false;
    bool Link = false;
    std::string Target;
    int BRUp = 0;
    int IBorderUp = 0;
    int BorderUp = 0;
    int TDUp = 0;
    bool CenterCell = false;
    int TRUp = 0;
    bool CreateMulti = false;
    int ImageCountUp = 0;
    bool SkipUnchanged = false;
    bool AutoRotate = false;
    bool Smooth = false;
};

enum class SettingType { Text, Integer, Boolean, Date, Color };

// How a default is found when the key is absent.
enum class DefaultRule {
    Literal,      // defaultText, in the key's stored form
    UpdateFolder, // where this copy saves updates (FileLocations), ending with "/"
    Yesterday,    // today's date minus one day
};

// Readings beyond the type's plain rules.
enum class SpecialReading {
    None,
    CreateHtmlUpdateAsCreate, // a stored 1 ("update existing") loads as 0 ("create")
    SignedInt16,              // up-down values and ports: the low 16 bits, signed
};

// What a value outside [minValue, maxValue] becomes when put into its control.
enum class RangeRule {
    None,
    Clamp,             // up-downs and sliders stop at their ends
    DefaultWhenOutside // list positions: an unknown position selects the default
};

using SettingField =
    std::variant<std::string GeneralSettings::*, int GeneralSettings::*, bool GeneralSettings::*,
                 std::string UpdateSettings::*, int UpdateSettings::*, bool UpdateSettings::*,
                 TDate UpdateSettings::*, std::string MainSettings::*, int MainSettings::*,
                 bool MainSettings::*>;

struct SettingKey {
    const char* section;
    const char* key;
    SettingType type;
    const char* defaultText;
    const char* control; // the control the value feeds ("" when none)
    SettingField field;
    DefaultRule defaultRule = DefaultRule::Literal;
    SpecialReading reading = SpecialReading::None;
    RangeRule range = RangeRule::None;
    int minValue = 0;
    int maxValue = 0;
    // Read at start-up and written by the options dialog; false for the two values the
    // automatic update schedule keeps for itself.
    bool editable = true;
};

// Every key of "General", "Update" and "Main", section by section, each section in the
// order its values are written.
const std::vector<SettingKey>& SettingKeys();
// The key of that section and name (letter case ignored), or null.
const SettingKey* FindSettingKey(const std::string& section, const std::string& key);

// The name of the settings file beside the executable, and its full path.
constexpr const char* kOptionsFileName = "Options.ini";
std::string OptionsFilePath();

// The host is ours; only the path is fixed.
constexpr const char* kDefaultUpdateAddress =
    "http://www.merovane.example/business/merovane/Tabulonix.ini";

// A value as stored for one key: text, integer (also colours), boolean or date.
using SettingValue = std::variant<std::string, int, bool, TDate>;

SettingValue DefaultValue(const SettingKey& key);
// Reads one key with its default, special reading and range rule. A "Frame color" that is
// neither a colour name nor an integer throws EConvertError.
SettingValue ReadSetting(const TIniFile& file, const SettingKey& key);
// Throws EIniFileException ("Unable to write to ...") when the write fails.
void WriteSetting(TIniFile& file, const SettingKey& key, const SettingValue& value);

GeneralSettings DefaultGeneral();
UpdateSettings DefaultUpdate();
MainSettings DefaultMain();

// Fills every key of the section from the file, in table order. For "Update" the two
// schedule values are read only when `withSchedule` is true. ReadMain throws
// EConvertError for an unusable "Frame color"; the keys after it then keep what `into`
// held (normally the defaults).
void ReadGeneral(const TIniFile& file, GeneralSettings& into);
void ReadUpdate(const TIniFile& file, UpdateSettings& into, bool withSchedule = false);
void ReadMain(const TIniFile& file, MainSettings& into);

// Writes every key of "Main" in table order; a failed write throws and stops the rest.
void WriteMain(TIniFile& file, const MainSettings& values);
// The options dialog's save: "Show splashscreen", the eight editable "Update" keys, then
// the other eight "General" keys. A failed write throws and stops the rest.
void WriteOptions(TIniFile& file, const GeneralSettings& general, const UpdateSettings& update);

// First run: "Language index" cannot be read as an integer or holds the marker itself.
constexpr int kFirstRunLanguageIndex = -69;
bool IsFirstRun(const TIniFile& file);
// The first-run language choice, written at once.
void WriteLanguageChoice(TIniFile& file, int languageIndex, const std::string& language);

// What the main window keeps from start-up: the first-run test, every "General" key and
// the eight editable "Update" keys (the schedule reads its two values itself).
struct StartupSettings {
    bool firstRun = true;
    GeneralSettings general;
    UpdateSettings update;
};
StartupSettings ReadStartupSettings(const TIniFile& file);

// The remembered fields as the wizard holds them after a start: the stored "Main" values
// (with the readings above) and the task handler's renaming of "<same>" to "<same>tn"
// when the task is making thumbnails (the task itself is not stored; `thumbnails` says
// which one is meant).
// An unusable "Frame color" throws EConvertError, unless `colorError` is given: then its
// text is stored there and the keys after it keep their defaults, as in the wizard.
MainSettings ReadMainSection(const std::string& path, bool thumbnails = true,
                             std::string* colorError = nullptr);

// The task rule of the name pattern: making thumbnails turns "<same>" into "<same>tn",
// converting turns "<same>tn" into "<same>"; any other pattern stays (`toDo` 0 thumbnails,
// 1 convert only).
std::string NameFormatForTask(const std::string& pattern, int toDo);

// Puts a value read for a "Main" key into the field the key feeds.
void StoreSetting(const SettingKey& key, MainSettings& into, const SettingValue& value);

// The range a key's control allows, from the table (the only place it is declared).
struct IntRange {
    int low = 0;
    int high = 0;
    bool Contains(long long v) const { return v >= low && v <= high; }
};
IntRange SettingRange(const std::string& section, const std::string& key);

} // namespace tabulonix
