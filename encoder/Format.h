#pragma once
// printf into a std::string, for the short texts the encoder prints.
#include <cstdarg>
#include <cstdio>
#include <string>

namespace vxenc {

inline std::string Format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string Format(const char *fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

} // namespace vxenc
