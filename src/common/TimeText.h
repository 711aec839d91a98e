#pragma once
#include <QString>
#include <QtGlobal>

// hh:mm:ss, or hh:mm:ss.t when there is a tenths digit. Hours do not wrap.
QString SecondsToTimeText(double seconds);
// Seconds of a time text, or exactly -1 when the text is not a time text.
// A value beyond MaxTimeSeconds either way is no time text: the formatter
// could not write it back as one, and a clip computed from it would be
// garbage (an End of 0:0:1e300 once gave "-t -1").
double TimeTextToSeconds(const QString &text);

// The largest time a time text may denote: the largest number of hours the
// parser takes, with its tenths exact in a double.
constexpr double MaxTimeSeconds = 2147483647.0 * 3600.0;

// Rounding to nearest with ties to even (the FPU default).
qint64 RoundHalfEven(double value);
