#include "engine/JobFromSettings.h"

#include "i18n/Messages.h"
#include "settings/SettingsValues.h"

namespace tabulonix {

namespace {

int SideFromText(const std::string& text)
{
    // The wizard replaces text that is not an integer by "100"; an empty field is taken the
    // same way, since the engine needs a number.
    return StrToIntDef(text, 100);
}

} // namespace

std::string FormatExtension(int format)
{
    static const char* const extensions[kOutputFormatCount] = {"jpg", "gif", "png", "bmp",
                                                               "wmf", "emf", "tga"};
    return format >= 0 && format < kOutputFormatCount ? extensions[format] : "";
}

JobSettings JobFromMainSettings(const MainSettings& m, int toDo)
{
    JobSettings s;
    s.ToDo = toDo;
    s.SDir = m.SDir;
    s.DDir = m.DDir;
    s.Overwrite = m.Overwrite;
    s.Leveys = SideFromText(m.Leveys);
    s.Korkeus = SideFromText(m.Korkeus);
    s.Aspect = m.Aspect;
    s.StretchSmall = m.StretchSmall;
    s.DrawFrame = m.DrawFrame;
    s.Color = m.Color;
    s.Size = static_cast<int16_t>(m.UpDown);
    s.KeepFormat = m.KeepFormat;
    s.Format = m.Format;
    s.NameFormat = NameFormatForTask(m.NameFormat, toDo);
    s.Extension = m.KeepFormat ? LangMessage("M019") : FormatExtension(m.Format);
    s.TrackBar = m.TrackBar;
    s.Progressive = m.Progressive;
    s.PNGTrackBar = m.PNGTrackBar;
    s.SkipUnchanged = m.SkipUnchanged;
    s.AutoRotate = m.AutoRotate;
    s.Smooth = m.Smooth;
    s.CreateHTML = m.CreateHTML;
    s.FillDimensions = m.FillDimensions;
    s.UseTable = m.UseTable;
    s.Link = m.Link;
    s.Target = m.Target;
    s.BRUp = static_cast<int16_t>(m.BRUp);
    s.IBorderUp = static_cast<int16_t>(m.IBorderUp);
    s.BorderUp = static_cast<int16_t>(m.BorderUp);
    s.TDUp = static_cast<int16_t>(m.TDUp);
    s.TRUp = static_cast<int16_t>(m.TRUp);
    s.CenterCell = m.CenterCell;
    s.CreateMulti = m.CreateMulti;
    s.ImageCountUp = static_cast<int16_t>(m.ImageCountUp);
    return s;
}

} // namespace tabulonix
