#pragma once
#include <QString>
#include <QtGlobal>

// hh:mm:ss, or hh:mm:ss.t when there is a tenths digit. Hours do not wrap.
QString SecondsToTimeText(double seconds);
// Seconds of a time text, or exactly -1 when the text is not a time text.
double TimeTextToSeconds(const QString &text);

// Rounding to nearest with ties to even (the FPU default).
qint64 RoundHalfEven(double value);
