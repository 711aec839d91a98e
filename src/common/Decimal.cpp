#include "common/Decimal.h"

#include <QByteArray>
#include <cmath>

namespace {
int SkipDigits(const QByteArray &bytes, int &i)
{
    int digits = 0;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9') {
        ++i;
        ++digits;
    }
    return digits;
}
} // namespace

DecimalKind ReadDotDecimal(const QString &text, double &value, bool allowBlanks)
{
    const QByteArray bytes = text.toLatin1();
    if (bytes.size() != text.size())
        return DecimalKind::NotANumber;
    const int n = bytes.size();
    int i = 0;
    while (allowBlanks && i < n && bytes[i] == ' ')
        ++i;
    const int start = i;
    if (i < n && (bytes[i] == '+' || bytes[i] == '-'))
        ++i;
    int digits = SkipDigits(bytes, i);
    if (i < n && bytes[i] == '.') {
        ++i;
        digits += SkipDigits(bytes, i);
    }
    if (digits == 0)
        return DecimalKind::NotANumber;
    if (i < n && (bytes[i] == 'e' || bytes[i] == 'E')) {
        ++i;
        if (i < n && (bytes[i] == '+' || bytes[i] == '-'))
            ++i;
        if (SkipDigits(bytes, i) == 0)
            return DecimalKind::NotANumber;
    }
    const int stop = i;
    while (allowBlanks && i < n && bytes[i] == ' ')
        ++i;
    if (i != n)
        return DecimalKind::NotANumber;
    // QByteArray::toDouble reads "." as the decimal point whatever the locale.
    bool ok = false;
    const double v = bytes.mid(start, stop - start).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return DecimalKind::OutOfRange;
    value = v;
    return DecimalKind::Number;
}
