#include "engine/wildcard.h"

// Greedy match with one backtrack point: when a later character fails, the most recent '*'
// takes one more character and matching resumes after it. Earlier stars never need to grow,
// so the work stays proportional to pattern length times name length at worst.
static bool MatchWhole(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::string_view::npos; // position of the last '*' seen
    std::size_t starName = 0;                    // name position that star's run ends at
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*")
        return true;
    return MatchWhole(pattern, name);
}

bool IsExcluded(std::string_view exclusions, std::string_view name)
{
    while (!exclusions.empty()) {
        const std::size_t end = exclusions.find(';');
        const std::string_view piece = exclusions.substr(0, end);
        if (!piece.empty() && MatchWhole(piece, name))
            return true;
        if (end == std::string_view::npos)
            break;
        exclusions.remove_prefix(end + 1);
    }
    return false;
}
