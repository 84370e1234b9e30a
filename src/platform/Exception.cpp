#include "platform/Exception.h"

#include <vector>

namespace tabulonix {

std::string Format(const std::string& pattern, std::initializer_list<std::string> args)
{
    std::vector<std::string> values(args);
    std::string out;
    out.reserve(pattern.size() + 32);
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out += c;
            continue;
        }
        char spec = pattern[i + 1];
        if (spec == '%') {
            out += '%';
            ++i;
        } else if (spec == 's' || spec == 'd' || spec == 'u') {
            if (next < values.size())
                out += values[next];
            ++next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Format(const std::string& pattern, long long number)
{
    return Format(pattern, {std::to_string(number)});
}

} // namespace tabulonix
