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

bool ParseInt32(const QString &text, qint32 &value)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i < n && (text.at(i) == QLatin1Char('x') || text.at(i) == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == QLatin1Char('0')
               && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    // The magnitude may reach 2^31 only for a negative value.
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    value = qint32(negative ? -magnitude : magnitude);
    return true;
}
