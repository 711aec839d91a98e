// Time texts: TimeTextToSeconds on arbitrary text, SecondsToTimeText on
// arbitrary doubles, and the round trip.
//
// Invariants:
// - nothing crashes and no conversion overflows, whatever the input;
// - a parsed time is finite (or exactly -1 for no time text);
// - for a finite value 0 <= v <= 1e9, SecondsToTimeText(v) parses back to v
//   rounded to tenths (ties to even), within 1e-6 relative;
// - a time text read back from SecondsToTimeText has the form
//   hh:mm:ss or hh:mm:ss.t with minutes and seconds below 60;
// - a dot-decimal number read is finite and is the value the C locale reads;
//   one read without blanks allowed reads the same with them allowed.

#include "FuzzCheck.h"
#include "common/Decimal.h"
#include "common/TimeText.h"

#include <QRegularExpression>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>

namespace {

void CheckParse(const QString &text)
{
    const double seconds = TimeTextToSeconds(text);
    FUZZ_CHECK(std::isfinite(seconds), Shown(text));
}

// v rounded to tenths: the fraction is exact in binary, so only the tenths
// step rounds.
double RoundedToTenths(double v)
{
    const double whole = std::floor(v);
    return whole + double(RoundHalfEven((v - whole) * 10.0)) / 10.0;
}

void CheckRoundTrip(double v)
{
    const QString text = SecondsToTimeText(v);
    static const QRegularExpression form(QStringLiteral("^\\d{2,}:[0-5]\\d:[0-5]\\d(\\.[1-9])?$"));
    FUZZ_CHECK(form.match(text).hasMatch(),
               QStringLiteral("%1 -> %2").arg(v, 0, 'g', 17).arg(Shown(text)));
    const double back = TimeTextToSeconds(text);
    const double expected = RoundedToTenths(v);
    const double tolerance = 1e-6 * std::max(expected, 1e-3);
    FUZZ_CHECK(std::fabs(back - expected) <= tolerance,
               QStringLiteral("%1 -> %2 -> %3, expected %4")
                   .arg(v, 0, 'g', 17)
                   .arg(Shown(text))
                   .arg(back, 0, 'g', 17)
                   .arg(expected, 0, 'g', 17));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: {
        // Text as the user types it (UTF-8) and as bytes map one to one.
        const std::string bytes = in.ConsumeRemainingBytesAsString();
        CheckParse(QString::fromUtf8(bytes.data(), int(bytes.size())));
        CheckParse(QString::fromLatin1(bytes.data(), int(bytes.size())));
        break;
    }
    case 1: {
        // Any bit pattern: NaN, infinities, negative and huge values.
        double v = 0;
        const std::string bytes = in.ConsumeBytesAsString(sizeof v);
        std::memcpy(&v, bytes.data(), std::min(bytes.size(), sizeof v));
        const QString text = SecondsToTimeText(v);
        CheckParse(text);
        RoundHalfEven(v);
        if (std::isfinite(v) && v >= 0 && v <= 1e9)
            CheckRoundTrip(v);
        break;
    }
    case 2:
        // A value in range, spread evenly over its scales.
        CheckRoundTrip(std::ldexp(in.ConsumeProbability<double>(), in.ConsumeIntegralInRange(-40, 29)));
        break;
    case 3: {
        // A time typed as fields: hours, minutes, seconds with tenths.
        const QString text = QStringLiteral("%1:%2:%3")
                                 .arg(in.ConsumeIntegral<qint32>())
                                 .arg(in.ConsumeIntegral<qint32>())
                                 .arg(QString::fromStdString(in.ConsumeRandomLengthString(16)));
        CheckParse(text);
        break;
    }
    case 4: {
        const bool allowBlanks = in.ConsumeBool();
        const std::string bytes = in.ConsumeRemainingBytesAsString();
        const QString text = QString::fromUtf8(bytes.data(), int(bytes.size()));
        double value = 0;
        const DecimalKind kind = ReadDotDecimal(text, value, allowBlanks);
        if (kind == DecimalKind::Number) {
            bool ok = false;
            const double c = text.toDouble(&ok);
            FUZZ_CHECK(std::isfinite(value) && ok && c == value,
                       Shown(text) + QStringLiteral(" read as %1").arg(value, 0, 'g', 17));
        }
        if (!allowBlanks && kind != DecimalKind::NotANumber) {
            double again = 0;
            FUZZ_CHECK(ReadDotDecimal(text, again, true) == kind
                           && (kind != DecimalKind::Number || again == value),
                       Shown(text));
        }
        break;
    }
    }
    return 0;
}
