// Case-insensitive matching of registry key and value names.
#pragma once

#include <string>
#include <string_view>

namespace qoz::host {

// Upper-cases every UTF-16 unit on its own, as Windows compares names: the
// simple upper case of upper_case_table.inc, whatever the locale. Two names
// match exactly when their folds are equal; surrogates stay as they are, so
// characters beyond the Basic Multilingual Plane match only themselves.
std::u16string FoldCase(std::u16string_view text);

}  // namespace qoz::host
