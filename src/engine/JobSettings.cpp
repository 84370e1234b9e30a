#include "engine/JobSettings.h"

#include "platform/Files.h"

#include <algorithm>

namespace tabulonix {

bool SelectedFileList::Add(const std::string& name)
{
    auto at = std::lower_bound(names_.begin(), names_.end(), name,
                               [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    if (at != names_.end() && CompareText(*at, name) == 0)
        return false;
    names_.insert(at, name);
    return true;
}

SelectedFileList MakeSelectedFiles(const std::vector<std::string>& names)
{
    SelectedFileList list;
    for (const auto& n : names)
        list.Add(n);
    return list;
}

} // namespace tabulonix
