#include "core/fileerror.h"

#include <cstring>

namespace corvane {

FileError FileErrorOf(std::string file, int code) {
    char text[256];
    // The GNU strerror_r: the text may be a static string rather than the buffer.
    const char* reason = strerror_r(code, text, sizeof text);
    return {std::move(file), reason};
}

} // namespace corvane
