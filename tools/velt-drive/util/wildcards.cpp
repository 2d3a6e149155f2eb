#include "tools/velt-drive/util/wildcards.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace velt::drive {

namespace {

char folded(char c, bool ignoreCase) {
    return ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool hasWildcard(std::string_view argument) {
    return argument.find_first_of("*?") != std::string_view::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view name, bool ignoreCase) {
    // Greedy with one back-track point: the last star and where it matched.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || folded(pattern[p], ignoreCase) ==
                                                                   folded(name[n], ignoreCase))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> expandWildcards(const std::string& argument, bool ignoreCase) {
    const std::size_t slash = argument.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : argument.substr(0, slash + 1);
    const std::string pattern = argument.substr(folder.size());
    if (!hasWildcard(pattern) || hasWildcard(folder)) return {argument};
    std::vector<std::string> names;
    std::error_code code;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, code), end;
         !code && it != end; it.increment(code)) {
        if (!it->is_regular_file(code)) continue;
        const std::string name = it->path().filename().string();
        if (name[0] == '.' && pattern[0] != '.') continue;
        if (wildcardMatch(pattern, name, ignoreCase)) names.push_back(folder + name);
    }
    if (names.empty()) return {argument};
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> expandArguments(const std::vector<std::string>& arguments) {
#if defined(_WIN32)
    std::vector<std::string> all;
    for (const std::string& argument : arguments) {
        const std::vector<std::string> names = expandWildcards(argument, true);
        all.insert(all.end(), names.begin(), names.end());
    }
    return all;
#else
    return arguments;
#endif
}

std::string withSeparator(std::string path, char separator) {
    for (char& c : path)
        if (c == '/' || c == '\\') c = separator;
    return path;
}

// The platform's own separator, as std::filesystem::path::make_preferred
// writes it; replaced byte by byte, so that a UTF-8 name passes unchanged
// whatever the Windows code page.
std::string nativeSeparators(std::string path) {
#if defined(_WIN32)
    return withSeparator(std::move(path),
                         static_cast<char>(std::filesystem::path::preferred_separator));
#else
    return path;
#endif
}

}  // namespace velt::drive
