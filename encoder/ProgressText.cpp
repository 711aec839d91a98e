#include "ProgressText.h"

#include <cctype>

namespace vxenc {

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Reads a run of digits at pos (at most maxDigits). Returns false when none.
bool ReadNumber(const std::string &s, size_t &pos, size_t maxDigits, unsigned long long &value)
{
    size_t start = pos;
    value = 0;
    while (pos < s.size() && IsDigit(s[pos])) {
        if (pos - start >= maxDigits)
            return false;
        value = value * 10 + static_cast<unsigned>(s[pos] - '0');
        ++pos;
    }
    return pos > start;
}

// Parses "[-]H:MM:SS[.frac]" at pos; on success writes the seconds text into
// out and moves pos past the time.
bool ParseClock(const std::string &s, size_t &pos, std::string &out)
{
    size_t p = pos;
    bool negative = false;
    if (p < s.size() && s[p] == '-') {
        negative = true;
        ++p;
    }
    unsigned long long hours = 0, minutes = 0, seconds = 0;
    // Hour digits are capped so the sum cannot overflow.
    if (!ReadNumber(s, p, 9, hours) || p >= s.size() || s[p] != ':')
        return false;
    ++p;
    if (!ReadNumber(s, p, 2, minutes) || p >= s.size() || s[p] != ':')
        return false;
    ++p;
    if (!ReadNumber(s, p, 2, seconds))
        return false;
    std::string fraction;
    if (p + 1 < s.size() && s[p] == '.' && IsDigit(s[p + 1])) {
        size_t f = p + 1;
        while (f < s.size() && IsDigit(s[f]))
            ++f;
        fraction = s.substr(p, f - p);
        p = f;
    }
    out.clear();
    if (negative)
        out += '-';
    out += std::to_string(hours * 3600 + minutes * 60 + seconds);
    out += fraction;
    pos = p;
    return true;
}

} // namespace

std::string RewriteProgressTimes(const std::string &line)
{
    static const std::string marker = "time=";
    std::string result;
    result.reserve(line.size() + 8);
    size_t pos = 0;
    while (pos < line.size()) {
        size_t hit = line.find(marker, pos);
        if (hit == std::string::npos) {
            result.append(line, pos, std::string::npos);
            break;
        }
        size_t valueStart = hit + marker.size();
        result.append(line, pos, valueStart - pos);
        size_t after = valueStart;
        std::string seconds;
        if (ParseClock(line, after, seconds)) {
            result += seconds;
            // The reader takes the value up to the next blank, so one must follow.
            if (after >= line.size() || line[after] != ' ')
                result += ' ';
            pos = after;
        } else {
            pos = valueStart;
        }
    }
    return result;
}

} // namespace vxenc
