// The progress reading: chunk texts, the value after "time", the bar
// positions, the remaining-time estimate and the kept message tail, on
// arbitrary encoder output and arbitrary run state.
//
// Invariants:
// - nothing crashes and no conversion overflows;
// - the chunk text stops before the first zero byte and maps bytes one to one;
// - the current time never decreases, and rises only to a value read;
// - a bar that is set lies in 0..100; a step is applied only when every step
//   before it was (clip bar, total bar, labels);
// - the message tail keeps at most its line count, never a blank line nor a
//   line break, and the last line of the output when it is not blank.

#include "FuzzCheck.h"
#include "conversion/Progress.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace {

double AnyDouble(FuzzedDataProvider &in)
{
    // Mostly plain values of a conversion, sometimes any bit pattern.
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return 0;
    case 1: {
        double v = 0;
        const std::string bytes = in.ConsumeBytesAsString(sizeof v);
        std::memcpy(&v, bytes.data(), std::min(bytes.size(), sizeof v));
        return v;
    }
    default:
        return in.ConsumeFloatingPointInRange<double>(-10.0, 1e6);
    }
}

// what() describes the case; it is built only for a report.
void CheckSteps(const TChunkProgress &p, double clipSeconds, double totalSeconds,
                const std::function<QString()> &what)
{
    if (p.setCurrent)
        FUZZ_CHECK(p.current >= 0 && p.current <= 100, what());
    if (p.setTotal)
        FUZZ_CHECK(p.total >= 0 && p.total <= 100, what());
    // Each step needs the ones before it.
    if (p.setTotal && clipSeconds != 0)
        FUZZ_CHECK(p.setCurrent, what());
    if (p.setLabels)
        FUZZ_CHECK((clipSeconds == 0 || p.setCurrent) && (totalSeconds == 0 || p.setTotal), what());
    if (clipSeconds == 0)
        FUZZ_CHECK(!p.setCurrent, what());
    if (totalSeconds == 0)
        FUZZ_CHECK(!p.setTotal, what());
}

void RunConversion(FuzzedDataProvider &in)
{
    const double clipSeconds = AnyDouble(in);
    const double doneSeconds = AnyDouble(in);
    const double totalSeconds = AnyDouble(in);
    double currentTime = AnyDouble(in);
    const int maxLines = in.ConsumeIntegralInRange<int>(1, 12);
    TMessageTail tail(maxLines);
    QByteArray everything;
    while (in.remaining_bytes() > 0) {
        const QByteArray bytes = QByteArray::fromStdString(in.ConsumeRandomLengthString(256));
        everything += bytes;
        tail.Add(bytes);

        const QString chunk = ChunkText(bytes);
        const int zero = int(bytes.indexOf('\0'));
        FUZZ_CHECK(chunk.size() == (zero < 0 ? bytes.size() : zero), Shown(bytes));
        FUZZ_CHECK(!chunk.contains(QChar(0)), Shown(bytes));

        const double before = currentTime;
        const TChunkProgress p = ExamineChunk(chunk, currentTime, clipSeconds, doneSeconds, totalSeconds);
        const auto what = [&] {
            return Shown(chunk) + QStringLiteral(" at %1 of %2, done %3 of %4")
                                      .arg(before, 0, 'g', 17)
                                      .arg(clipSeconds, 0, 'g', 17)
                                      .arg(doneSeconds, 0, 'g', 17)
                                      .arg(totalSeconds, 0, 'g', 17);
        };
        // Only a value read, and above the time reached, moves the time.
        if (std::memcmp(&before, &currentTime, sizeof before) != 0) {
            double read = 0;
            FUZZ_CHECK(ParseDecimal(ProgressValueText(chunk), read) && read == currentTime
                           && currentTime > before,
                       what());
        }
        CheckSteps(p, clipSeconds, totalSeconds, what);
        if (p.setTotal)
            RemainingSecondsAt(in.ConsumeIntegral<int>(), p.total, in.ConsumeIntegral<int>());
    }

    const QStringList lines = tail.Lines();
    // The encoder's own lines are kept besides the last ones, up to their own limit.
    int notes = 0;
    for (const QString &line : lines)
        notes += line.startsWith(QLatin1String("vxenc: ")) ? 1 : 0;
    FUZZ_CHECK(lines.size() <= maxLines + MaxKeptNotes && lines.size() - notes <= maxLines, Shown(everything));
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.isEmpty() && line == line.trimmed(), Shown(everything));
        FUZZ_CHECK(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')),
                   Shown(everything));
    }
    // The last line said (up to the cut of a very long line) is kept.
    int end = int(everything.size());
    while (end > 0 && (everything.at(end - 1) == '\r' || everything.at(end - 1) == '\n'))
        --end;
    if (end == 0)
        return;
    int start = end;
    while (start > 0 && everything.at(start - 1) != '\r' && everything.at(start - 1) != '\n')
        --start;
    const QByteArray last = everything.mid(start, end - start);
    if (last.size() < 4096 && !last.trimmed().isEmpty())
        FUZZ_CHECK(!lines.isEmpty() && lines.last() == QString::fromUtf8(last).trimmed(),
                   Shown(everything));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        RunConversion(in);
        break;
    case 1: {
        // A bare number text.
        const std::string bytes = in.ConsumeRemainingBytesAsString();
        double value = 0;
        if (ParseDecimal(QString::fromLatin1(bytes.data(), int(bytes.size())), value))
            FUZZ_CHECK(std::isfinite(value), Shown(QByteArray::fromStdString(bytes)));
        break;
    }
    case 2: {
        const double part = AnyDouble(in);
        const double whole = AnyDouble(in);
        int position = -1;
        if (BarPosition(part, whole, position))
            FUZZ_CHECK(position >= 0 && position <= 100, QStringLiteral("%1 / %2").arg(part).arg(whole));
        const double currentTime = AnyDouble(in);
        const double clip = AnyDouble(in);
        const double total = AnyDouble(in);
        CheckSteps(ProgressAt(currentTime, clip, AnyDouble(in), total), clip, total,
                   [&] { return QStringLiteral("%1 of %2").arg(currentTime).arg(clip); });
        break;
    }
    case 3: {
        const int elapsed = in.ConsumeIntegral<int>();
        const int position = in.ConsumeIntegral<int>();
        const int previous = in.ConsumeIntegral<int>();
        const int remaining = RemainingSecondsAt(elapsed, position, previous);
        if (position == 0)
            FUZZ_CHECK(remaining == previous, QString::number(previous));
        break;
    }
    }
    return 0;
}
