// Case-insensitive matching of registry key and value names.
#pragma once

#include <string>
#include <string_view>

namespace qoz::host {

// Maps every character to its simple Unicode case fold (upper case, then
// lower case), so that two names match exactly when their folds are equal.
// Surrogate pairs are folded as one character; lone surrogates stay as they are.
std::u16string FoldCase(std::u16string_view text);

}  // namespace qoz::host
