#include "settings/SettingsKeys.h"

#include "platform/FileLocations.h"
#include "platform/Files.h"
#include "settings/ColorNames.h"

#include <algorithm>
#include <cstdint>

namespace tabulonix {

namespace {

using G = GeneralSettings;
using U = UpdateSettings;
using M = MainSettings;
using T = SettingType;

SettingKey Key(const char* section, const char* key, SettingType type, const char* def,
               const char* control, SettingField field)
{
    return SettingKey{section, key, type, def, control, field};
}

SettingKey With(SettingKey k, SpecialReading reading)
{
    k.reading = reading;
    return k;
}

SettingKey Range(SettingKey k, RangeRule rule, int lo, int hi)
{
    k.range = rule;
    k.minValue = lo;
    k.maxValue = hi;
    return k;
}

SettingKey UpDown(SettingKey k, int lo, int hi)
{
    return Range(With(k, SpecialReading::SignedInt16), RangeRule::Clamp, lo, hi);
}

SettingKey ListPosition(SettingKey k, int hi)
{
    return Range(k, RangeRule::DefaultWhenOutside, 0, hi);
}

std::vector<SettingKey> BuildTable()
{
    std::vector<SettingKey> t;
    // "General": start-up behaviour, language and interface font (options dialog).
    t.push_back(Key("General", "Show splashscreen", T::Boolean, "1", "ShowSplash", &G::ShowSplash));
    t.push_back(Key("General", "Language index", T::Integer, "0", "Language", &G::LanguageIndex));
    t.push_back(Key("General", "Language", T::Text, "", "Language", &G::Language));
    t.push_back(Key("General", "Font name", T::Text, "MS Sans Serif", "FontDialog", &G::FontName));
    t.push_back(Key("General", "Font size", T::Integer, "8", "FontDialog", &G::FontSize));
    t.push_back(Key("General", "Font bold", T::Boolean, "0", "FontDialog", &G::FontBold));
    t.push_back(Key("General", "Font italic", T::Boolean, "0", "FontDialog", &G::FontItalic));
    t.push_back(Key("General", "Font underline", T::Boolean, "0", "FontDialog", &G::FontUnderline));
    t.push_back(Key("General", "Font strikeout", T::Boolean, "0", "FontDialog", &G::FontStrikeout));

    // "Update": the options dialog's Update page, then the schedule's own two values.
    t.push_back(Key("Update", "Automatic update", T::Boolean, "0", "AutoUpdate", &U::AutoUpdate));
    t.push_back(Key("Update", "Always connected to the Internet", T::Boolean, "0",
                    "AlwaysConnected", &U::AlwaysConnected));
    t.push_back(Key("Update", "Proxy server", T::Text, "", "Proxy", &U::Proxy));
    t.push_back(UpDown(
        Key("Update", "Proxy port", T::Integer, "0", "ProxyPortUpDown", &U::ProxyPort), 0, 32767));
    t.push_back(Key("Update", "Use proxy", T::Boolean, "0", "UseProxy", &U::UseProxy));
    t.push_back(UpDown(Key("Update", "Port", T::Integer, "0", "PortUpDown", &U::Port), 0, 32767));
    t.push_back(
        Key("Update", "Update address", T::Text, kDefaultUpdateAddress, "Address", &U::Address));
    SettingKey saveTo = Key("Update", "Save update directory", T::Text, "", "SaveTo", &U::SaveTo);
    saveTo.defaultRule = DefaultRule::UpdateFolder;
    t.push_back(saveTo);
    SettingKey lastChecked = Key("Update", "Last checked", T::Date, "", "", &U::LastChecked);
    lastChecked.defaultRule = DefaultRule::Yesterday;
    lastChecked.editable = false;
    t.push_back(lastChecked);
    SettingKey errors = Key("Update", "Error type 1 count", T::Integer, "0", "", &U::ErrorCount);
    errors.editable = false;
    t.push_back(errors);

    // "Main": the wizard's remembered fields, in the order they are written at shutdown.
    t.push_back(Key("Main", "Source directory", T::Text, "", "SDir", &M::SDir));
    t.push_back(Key("Main", "Destination directory", T::Text, "", "DDir", &M::DDir));
    t.push_back(Key("Main", "Overwrite", T::Boolean, "1", "Overwrite", &M::Overwrite));
    t.push_back(Key("Main", "Width", T::Text, "100", "Leveys", &M::Leveys));
    t.push_back(Key("Main", "Height", T::Text, "100", "Korkeus", &M::Korkeus));
    t.push_back(ListPosition(
        Key("Main", "Preserve aspect ratio", T::Integer, "0", "Aspect", &M::Aspect), 3));
    t.push_back(Key("Main", "Enlarge images", T::Boolean, "0", "StretchSmall", &M::StretchSmall));
    t.push_back(Key("Main", "Draw frame", T::Boolean, "0", "DrawFrame", &M::DrawFrame));
    t.push_back(Key("Main", "Frame color", T::Color, "clBlack", "Color", &M::Color));
    t.push_back(UpDown(Key("Main", "Frame size", T::Integer, "1", "UpDown", &M::UpDown), 1, 100));
    t.push_back(Key("Main", "Keep format", T::Boolean, "1", "KeepFormat", &M::KeepFormat));
    t.push_back(ListPosition(Key("Main", "Format", T::Integer, "0", "Format", &M::Format), 6));
    t.push_back(Key("Main", "Name format", T::Text, "<same>", "NameFormat", &M::NameFormat));
    t.push_back(Range(Key("Main", "JPG compression", T::Integer, "80", "TrackBar", &M::TrackBar),
                      RangeRule::Clamp, 1, 100));
    t.push_back(
        Key("Main", "Progressive encoding", T::Boolean, "1", "Progressive", &M::Progressive));
    t.push_back(
        Range(Key("Main", "PNG compression", T::Integer, "9", "PNGTrackBar", &M::PNGTrackBar),
              RangeRule::Clamp, 0, 9));
    t.push_back(
        ListPosition(With(Key("Main", "Create HTML", T::Integer, "0", "CreateHTML", &M::CreateHTML),
                          SpecialReading::CreateHtmlUpdateAsCreate),
                     2));
    t.push_back(
        Key("Main", "Fill dimensions", T::Boolean, "1", "FillDimensions", &M::FillDimensions));
    t.push_back(Key("Main", "Use table", T::Boolean, "1", "UseTable", &M::UseTable));
    t.push_back(Key("Main", "Link to original", T::Boolean, "1", "Link", &M::Link));
    t.push_back(Key("Main", "Target", T::Text, "", "Target", &M::Target));
    t.push_back(
        UpDown(Key("Main", "Images on same line", T::Integer, "5", "BRUp", &M::BRUp), 1, 10000));
    t.push_back(
        UpDown(Key("Main", "Image border", T::Integer, "0", "IBorderUp", &M::IBorderUp), 0, 20));
    t.push_back(
        UpDown(Key("Main", "Table border", T::Integer, "1", "BorderUp", &M::BorderUp), 0, 20));
    t.push_back(
        UpDown(Key("Main", "Images on same cell", T::Integer, "1", "TDUp", &M::TDUp), 1, 10000));
    t.push_back(Key("Main", "Center in cell", T::Boolean, "1", "CenterCell", &M::CenterCell));
    t.push_back(
        UpDown(Key("Main", "Images on same row", T::Integer, "5", "TRUp", &M::TRUp), 1, 10000));
    t.push_back(Key("Main", "Multipaged", T::Boolean, "0", "CreateMulti", &M::CreateMulti));
    t.push_back(UpDown(
        Key("Main", "Images on same page", T::Integer, "20", "ImageCountUp", &M::ImageCountUp), 1,
        10000));
    // Later additions, after the fields above so that their order stays as it was.
    t.push_back(Key("Main", "Skip unchanged", T::Boolean, "0", "SkipUnchanged", &M::SkipUnchanged));
    t.push_back(Key("Main", "Auto rotate", T::Boolean, "0", "AutoRotate", &M::AutoRotate));
    t.push_back(Key("Main", "Smooth scaling", T::Boolean, "0", "Smooth", &M::Smooth));
    return t;
}

int ApplyRange(const SettingKey& key, int value, int fallback)
{
    switch (key.range) {
    case RangeRule::Clamp:
        return std::clamp(value, key.minValue, key.maxValue);
    case RangeRule::DefaultWhenOutside:
        return value < key.minValue || value > key.maxValue ? fallback : value;
    case RangeRule::None:
        break;
    }
    return value;
}

std::string StoredText(const SettingKey& key, const SettingValue& value)
{
    switch (key.type) {
    case SettingType::Text:
        return std::get<std::string>(value);
    case SettingType::Integer:
        return std::to_string(std::get<int>(value));
    case SettingType::Boolean:
        return std::get<bool>(value) ? "1" : "0";
    case SettingType::Date:
        return FormatShortDate(std::get<TDate>(value));
    case SettingType::Color:
        return ColorToString(std::get<int>(value));
    }
    return {};
}

// Copies between a section struct and SettingValue through the key's member pointer.
template <class S> bool Store(const SettingKey& key, S& into, const SettingValue& value)
{
    if (auto p = std::get_if<std::string S::*>(&key.field))
        into.*(*p) = std::get<std::string>(value);
    else if (auto p = std::get_if<int S::*>(&key.field))
        into.*(*p) = std::get<int>(value);
    else if (auto p = std::get_if<bool S::*>(&key.field))
        into.*(*p) = std::get<bool>(value);
    else if constexpr (std::is_same_v<S, UpdateSettings>) {
        if (auto p = std::get_if<TDate S::*>(&key.field))
            into.*(*p) = std::get<TDate>(value);
        else
            return false;
    } else
        return false;
    return true;
}

template <class S> bool Load(const SettingKey& key, const S& from, SettingValue& value)
{
    if (auto p = std::get_if<std::string S::*>(&key.field))
        value = from.*(*p);
    else if (auto p = std::get_if<int S::*>(&key.field))
        value = from.*(*p);
    else if (auto p = std::get_if<bool S::*>(&key.field))
        value = from.*(*p);
    else if constexpr (std::is_same_v<S, UpdateSettings>) {
        if (auto p = std::get_if<TDate S::*>(&key.field))
            value = from.*(*p);
        else
            return false;
    } else
        return false;
    return true;
}

template <class S> S Defaults()
{
    S values{};
    for (const auto& key : SettingKeys())
        Store(key, values, DefaultValue(key));
    return values;
}

template <class S> void ReadInto(const TIniFile& file, S& into, bool withSchedule)
{
    for (const auto& key : SettingKeys()) {
        if (!key.editable && !withSchedule)
            continue;
        SettingValue probe;
        if (Load(key, into, probe)) // the key belongs to this section's struct
            Store(key, into, ReadSetting(file, key));
    }
}

template <class S>
void WriteFrom(TIniFile& file, const S& from, const char* section, bool editableOnly)
{
    for (const auto& key : SettingKeys()) {
        if (std::string(key.section) != section || (editableOnly && !key.editable))
            continue;
        SettingValue value;
        if (Load(key, from, value))
            WriteSetting(file, key, value);
    }
}

} // namespace

const std::vector<SettingKey>& SettingKeys()
{
    static const std::vector<SettingKey> table = BuildTable();
    return table;
}

const SettingKey* FindSettingKey(const std::string& section, const std::string& key)
{
    for (const auto& k : SettingKeys())
        if (SameText(section, k.section) && SameText(key, k.key))
            return &k;
    return nullptr;
}

std::string OptionsFilePath()
{
    const FileLocations& where = Locations();
    // An installed copy's folder in the user's configuration may not exist before the
    // first write.
    if (!where.portable)
        ForceDirectories(ExtractFilePath(where.optionsFile));
    return where.optionsFile;
}

SettingValue DefaultValue(const SettingKey& key)
{
    switch (key.defaultRule) {
    case DefaultRule::UpdateFolder:
        return Locations().updateFolder;
    case DefaultRule::Yesterday:
        return Yesterday();
    case DefaultRule::Literal:
        break;
    }
    switch (key.type) {
    case SettingType::Text:
        return std::string(key.defaultText);
    case SettingType::Integer:
        return StrToIntDef(key.defaultText, 0);
    case SettingType::Boolean:
        return StrToIntDef(key.defaultText, 0) != 0;
    case SettingType::Color:
        return StringToColor(key.defaultText);
    case SettingType::Date:
        break;
    }
    return Yesterday();
}

SettingValue ReadSetting(const TIniFile& file, const SettingKey& key)
{
    const SettingValue fallback = DefaultValue(key);
    switch (key.type) {
    case SettingType::Text:
        return file.ReadString(key.section, key.key, std::get<std::string>(fallback));
    case SettingType::Boolean:
        return file.ReadBool(key.section, key.key, std::get<bool>(fallback));
    case SettingType::Date:
        return file.ReadDate(key.section, key.key, std::get<TDate>(fallback));
    case SettingType::Color:
        return file.ReadColor(key.section, key.key, std::get<int>(fallback));
    case SettingType::Integer:
        break;
    }
    const int def = std::get<int>(fallback);
    int value = file.ReadInteger(key.section, key.key, def);
    switch (key.reading) {
    case SpecialReading::CreateHtmlUpdateAsCreate:
        if (value == 1)
            value = 0;
        break;
    case SpecialReading::SignedInt16:
        value = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF));
        break;
    case SpecialReading::None:
        break;
    }
    return ApplyRange(key, value, def);
}

void WriteSetting(TIniFile& file, const SettingKey& key, const SettingValue& value)
{
    file.WriteString(key.section, key.key, StoredText(key, value));
}

GeneralSettings DefaultGeneral()
{
    return Defaults<GeneralSettings>();
}
UpdateSettings DefaultUpdate()
{
    return Defaults<UpdateSettings>();
}
MainSettings DefaultMain()
{
    return Defaults<MainSettings>();
}

void ReadGeneral(const TIniFile& file, GeneralSettings& into)
{
    ReadInto(file, into, true);
}
void ReadUpdate(const TIniFile& file, UpdateSettings& into, bool withSchedule)
{
    ReadInto(file, into, withSchedule);
}
void ReadMain(const TIniFile& file, MainSettings& into)
{
    ReadInto(file, into, true);
}

void WriteMain(TIniFile& file, const MainSettings& values)
{
    WriteFrom(file, values, "Main", false);
}

void WriteOptions(TIniFile& file, const GeneralSettings& general, const UpdateSettings& update)
{
    const SettingKey* splash = FindSettingKey("General", "Show splashscreen");
    WriteSetting(file, *splash, general.ShowSplash);
    WriteFrom(file, update, "Update", true);
    for (const auto& key : SettingKeys()) {
        if (std::string(key.section) != "General" || &key == splash)
            continue;
        SettingValue value;
        if (Load(key, general, value))
            WriteSetting(file, key, value);
    }
}

bool IsFirstRun(const TIniFile& file)
{
    return file.ReadInteger("General", "Language index", kFirstRunLanguageIndex) ==
           kFirstRunLanguageIndex;
}

void WriteLanguageChoice(TIniFile& file, int languageIndex, const std::string& language)
{
    file.WriteInteger("General", "Language index", languageIndex);
    file.WriteString("General", "Language", language);
}

StartupSettings ReadStartupSettings(const TIniFile& file)
{
    StartupSettings startup;
    startup.firstRun = IsFirstRun(file);
    startup.general = DefaultGeneral();
    ReadGeneral(file, startup.general);
    startup.update = DefaultUpdate();
    ReadUpdate(file, startup.update, false);
    return startup;
}

MainSettings ReadMainSection(const std::string& path, bool thumbnails, std::string* colorError)
{
    TIniFile file(path);
    MainSettings values = DefaultMain();
    try {
        ReadMain(file, values);
    } catch (const EConvertError& e) {
        if (!colorError)
            throw;
        *colorError = e.Message();
    }
    values.NameFormat = NameFormatForTask(values.NameFormat, thumbnails ? 0 : 1);
    return values;
}

std::string NameFormatForTask(const std::string& pattern, int toDo)
{
    if (toDo == 0)
        return pattern == "<same>" ? "<same>tn" : pattern;
    return pattern == "<same>tn" ? "<same>" : pattern;
}

void StoreSetting(const SettingKey& key, MainSettings& into, const SettingValue& value)
{
    Store(key, into, value);
}

IntRange SettingRange(const std::string& section, const std::string& key)
{
    const SettingKey* k = FindSettingKey(section, key);
    return k ? IntRange{k->minValue, k->maxValue} : IntRange{};
}

} // namespace tabulonix
