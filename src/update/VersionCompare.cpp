#include "update/VersionCompare.h"

namespace tabulonix {

namespace {

std::string NumberField(const std::string& field)
{
    size_t begin = field.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "0";
    size_t end = field.find_last_not_of(" \t") + 1;
    for (size_t i = begin; i < end; ++i)
        if (field[i] < '0' || field[i] > '9')
            return "0";
    while (begin + 1 < end && field[begin] == '0')
        ++begin;
    return field.substr(begin, end - begin);
}

// <0, 0, >0 for two digit runs without leading zeros.
int CompareNumbers(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

TVersionNumbers ParseVersionNumbers(const std::string& text)
{
    TVersionNumbers numbers{"0", "0", "0", "0"};
    size_t start = 0;
    for (size_t i = 0; i < numbers.size() && start <= text.size(); ++i) {
        size_t dot = text.find('.', start);
        numbers[i] = NumberField(
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return numbers;
}

bool IsNewerVersion(const std::string& running, const std::string& available)
{
    TVersionNumbers r = ParseVersionNumbers(running);
    TVersionNumbers a = ParseVersionNumbers(available);
    for (size_t i = 0; i < r.size(); ++i) {
        int order = CompareNumbers(a[i], r[i]);
        if (order != 0)
            return order > 0;
    }
    return false;
}

} // namespace tabulonix
