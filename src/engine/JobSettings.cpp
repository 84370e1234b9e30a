#include "engine/JobSettings.h"

#include "platform/Files.h"

#include <algorithm>

namespace tabulonix {

SelectedFileList::SelectedFileList() : compare_(CompareText) {}

bool SelectedFileList::Add(const std::string& name)
{
    auto at = std::lower_bound(
        names_.begin(), names_.end(), name,
        [this](const std::string& a, const std::string& b) { return compare_(a, b) < 0; });
    if (at != names_.end() && compare_(*at, name) == 0)
        return false;
    names_.insert(at, name);
    return true;
}

SelectedFileList MakeSelectedFiles(const std::vector<std::string>& names,
                                   SelectedFileList::Compare compare)
{
    SelectedFileList list = compare ? SelectedFileList(std::move(compare)) : SelectedFileList();
    for (const auto& n : names)
        list.Add(n);
    return list;
}

} // namespace tabulonix
