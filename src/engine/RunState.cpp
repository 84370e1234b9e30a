#include "engine/RunState.h"

#include "engine/Gallery.h"
#include "engine/OutputEncoders.h"
#include "platform/Version.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace tabulonix {

namespace {

constexpr const char* kHeader = "tabulonix-state 1";

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool ModifiedTime(const std::string& path, timespec& time)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    time = st.st_mtim;
    return true;
}

bool Newer(const timespec& a, const timespec& b)
{
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
}

} // namespace

std::string SettingsFingerprint(const JobSettings& s)
{
    std::ostringstream text;
    text << ProgramVersion() << '\n'
         << s.SDir << '\n'
         << s.ToDo << ' ' << s.Overwrite << ' ' << s.Leveys << ' ' << s.Korkeus << ' ' << s.Aspect
         << ' ' << s.StretchSmall << ' ' << s.AutoRotate << ' ' << s.Smooth << ' ' << s.DrawFrame
         << ' ' << s.Color << ' ' << s.Size << ' ' << s.Format << ' ' << s.KeepFormat << ' '
         << s.TrackBar << ' ' << s.Progressive << ' ' << s.PNGTrackBar << '\n'
         << s.NameFormat << '\n'
         << s.Extension << '\n';
    // FNV-1a, 64 bits: a change detector, not a defence against forged files.
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text.str()) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

TRunState::TRunState(const JobSettings& settings)
    : settings_(settings), fingerprint_(SettingsFingerprint(settings))
{
    std::ifstream in(settings.DDir + kRunStateFileName, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return;
    while (std::getline(in, line)) {
        std::vector<std::string> f = SplitTabs(line);
        if (f.size() != 5)
            continue;
        Entry e;
        e.fingerprint = f[0];
        try {
            e.width = std::stoi(f[1]);
            e.height = std::stoi(f[2]);
            e.destination = DecodeUrlPath(f[3]);
            entries_[DecodeUrlPath(f[4])] = e;
        } catch (const std::exception&) {
            continue; // a damaged line only costs its file a redo
        }
    }
}

const TRunState::Entry* TRunState::Unchanged(const std::string& source) const
{
    auto it = entries_.find(source);
    if (it == entries_.end() || it->second.fingerprint != fingerprint_)
        return nullptr;
    timespec made{}, changed{};
    if (!ModifiedTime(settings_.DDir + it->second.destination, made) ||
        !ModifiedTime(settings_.SDir + source, changed) || !Newer(made, changed))
        return nullptr;
    return &it->second;
}

void TRunState::Record(const std::string& source, const std::string& destination, int width,
                       int height)
{
    entries_[source] = Entry{fingerprint_, destination, width, height};
}

void TRunState::Save() const
{
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [source, e] : entries_)
        text += e.fingerprint + "\t" + std::to_string(e.width) + "\t" + std::to_string(e.height) +
                "\t" + EscapeUrlPath(e.destination) + "\t" + EscapeUrlPath(source) + "\n";
    WriteOutputFile(settings_.DDir + kRunStateFileName,
                    std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace tabulonix
