#include "common/TimeText.h"

#include "common/Decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// A whole number as a 64-bit integer; beyond the 64-bit range the nearest
// representable value is taken, and NaN gives 0.
qint64 ClampToInt64(double whole)
{
    if (std::isnan(whole))
        return 0;
    if (whole >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (whole <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(whole);
}

qint64 TruncateToInt64(double value)
{
    return ClampToInt64(std::trunc(value));
}

QString TwoDigits(qint64 value)
{
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

qint64 RoundHalfEven(double value)
{
    return ClampToInt64(std::nearbyint(value));
}

QString SecondsToTimeText(double seconds)
{
    qint64 w = TruncateToInt64(seconds);
    qint64 h = w / 3600;
    qint64 m = (w - 3600 * h) / 60;
    qint64 s = w - 3600 * h - 60 * m;
    qint64 t = RoundHalfEven((seconds - 3600.0 * double(h) - 60.0 * double(m) - double(s)) * 10.0);
    if ((t >= 10 && w < std::numeric_limits<qint64>::max())
        || (t <= -10 && w > std::numeric_limits<qint64>::min())) {
        // A fraction of .95 or more rounds up to the next whole second; the
        // text then reads back as the value rounded to tenths.
        w += t > 0 ? 1 : -1;
        h = w / 3600;
        m = (w - 3600 * h) / 60;
        s = w - 3600 * h - 60 * m;
        t = 0;
    }
    // Beyond the 64-bit range of whole seconds the remainder is no fraction
    // of a second: the text still carries one digit at most.
    t = std::clamp<qint64>(t, -9, 9);
    QString text = TwoDigits(h) + QLatin1Char(':') + TwoDigits(m) + QLatin1Char(':') + TwoDigits(s);
    if (t != 0)
        text += QLatin1Char('.') + QString::number(t);
    return text;
}

double TimeTextToSeconds(const QString &text)
{
    const int firstColon = text.indexOf(QLatin1Char(':'));
    if (firstColon < 0)
        return -1;
    const QString hText = text.left(firstColon);
    const QString rest = text.mid(firstColon + 1);
    const int secondColon = rest.indexOf(QLatin1Char(':'));
    if (secondColon < 0)
        return -1;
    const QString mText = rest.left(secondColon);
    const QString sText = rest.mid(secondColon + 1);

    qint32 hours = 0;
    qint32 minutes = 0;
    double secs = 0;
    if (!ParseInt32(hText, hours) || !ParseInt32(mText, minutes))
        return -1;
    if (sText.startsWith(QLatin1Char('.')) || ReadDotDecimal(sText, secs, true) != DecimalKind::Number)
        return -1;
    // Summed in 64 bits: large hour counts must not wrap around.
    const double total = double(3600 * qint64(hours) + 60 * qint64(minutes)) + secs;
    return std::fabs(total) <= MaxTimeSeconds ? total : -1;
}
