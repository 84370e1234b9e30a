#include "platform/SystemInfo.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace tabulonix {

namespace {

// The value of KEY=value or KEY="value" in an os-release text.
std::string OsReleaseValue(const std::string& text, const std::string& key)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, key.size() + 1, key + "=") != 0)
            continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

} // namespace

OsVersion OsVersionFrom(const std::string& release, const std::string& osRelease)
{
    // "6.1.0-13-amd64": up to three dot-separated numbers at the start.
    uint32_t numbers[3] = {0, 0, 0};
    size_t at = 0;
    for (uint32_t& number : numbers) {
        if (at >= release.size() || release[at] < '0' || release[at] > '9')
            break;
        uint64_t n = 0;
        for (; at < release.size() && release[at] >= '0' && release[at] <= '9'; ++at)
            n = std::min<uint64_t>(n * 10 + static_cast<uint64_t>(release[at] - '0'), INT32_MAX);
        number = static_cast<uint32_t>(n);
        if (at >= release.size() || release[at] != '.')
            break;
        ++at;
    }
    OsVersion v;
    v.family = OsVersion::Other;
    v.major = static_cast<int>(numbers[0]);
    v.minor = static_cast<int>(numbers[1]);
    v.build = numbers[2];
    v.servicePack = OsReleaseValue(osRelease, "PRETTY_NAME");
    return v;
}

std::optional<OsVersion> QueryOsVersion()
{
    utsname names{};
    if (uname(&names) != 0)
        return std::nullopt;
    std::string osRelease;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            osRelease = text.str();
            break;
        }
    }
    return OsVersionFrom(names.release, osRelease);
}

uint64_t PhysicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

} // namespace tabulonix
