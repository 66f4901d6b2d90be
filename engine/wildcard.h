// Whole-name wildcard matching for directory patterns and exclusion lists: '*' matches any run
// of characters (also none), '?' any one character, every other character itself (case
// matters).
#pragma once

#include <string_view>

// True when name matches pattern as a whole. "*.*" matches every name, like "*".
[[nodiscard]] bool WildcardMatch(std::string_view pattern, std::string_view name);

// True when name matches any ';'-separated piece of exclusions as a whole. Empty pieces and
// an empty text exclude nothing; "*.*" here is matched literally (it needs a point).
[[nodiscard]] bool IsExcluded(std::string_view exclusions, std::string_view name);
