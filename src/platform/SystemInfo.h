#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tabulonix {

// The operating system's version as the about box describes it.
struct OsVersion {
    enum Family { Win32OnWin3x, Windows9x, WindowsNT, Other };
    Family family = Other;
    int major = 0;
    int minor = 0;
    uint32_t build = 0;
    std::string servicePack; // "" when there is none
};

// This system: major, minor and build are the first three numbers of the kernel release
// (uname), the service-pack text is the distribution's PRETTY_NAME from /etc/os-release
// (empty when there is none). std::nullopt when uname fails.
std::optional<OsVersion> QueryOsVersion();
// The same from given texts (for tests): a kernel release such as "6.1.0-13-amd64" and the
// content of an os-release file.
OsVersion OsVersionFrom(const std::string& release, const std::string& osRelease);

// The machine's total physical memory in bytes (0 when unknown).
uint64_t PhysicalMemoryBytes();

} // namespace tabulonix
