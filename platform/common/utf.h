// The UTF-8 conversions under their former header and namespace, for the
// files that still include this one; new code includes utf16.h.
#pragma once

#include "platform/common/utf16.h"

namespace qoz::host {

using qoz::Utf16ToUtf8;
using qoz::Utf8ToUtf16;

}  // namespace qoz::host
