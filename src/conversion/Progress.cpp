#include "conversion/Progress.h"

#include "common/Decimal.h"
#include "common/TimeText.h"

#include <algorithm>
#include <cmath>
#include <limits>

QString ChunkText(const QByteArray &bytes)
{
    const int zero = bytes.indexOf('\0');
    // Byte for byte: only ASCII markers and numbers are looked for.
    return QString::fromLatin1(zero < 0 ? bytes : bytes.left(zero));
}

QString ProgressValueText(const QString &chunk)
{
    // p is the 1-based position of "time" (0 when absent); the rest starts at
    // character p + 5, past the four letters and the "=" after them.
    const int p = chunk.indexOf(QLatin1String("time")) + 1;
    const QString rest = chunk.mid(p + 4);
    const int blank = rest.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : rest.left(blank);
}

bool ParseDecimal(const QString &text, double &value)
{
    return ReadDotDecimal(text, value, false) == DecimalKind::Number;
}

bool BarPosition(double part, double whole, int &position)
{
    const double quotient = part / whole * 100.0;
    if (!std::isfinite(quotient) || std::fabs(quotient) >= 9223372036854775807.0)
        return false;
    const qint64 rounded = RoundHalfEven(quotient);
    position = int(std::clamp<qint64>(rounded, 0, 100));
    return true;
}

TChunkProgress ExamineChunk(const QString &chunk, double &currentTime, double clipSeconds,
                            double doneSeconds, double totalSeconds)
{
    TChunkProgress result;
    double value = 0;
    switch (ReadDotDecimal(ProgressValueText(chunk), value, false)) {
    case DecimalKind::Number:
        if (value > currentTime)
            currentTime = value;
        break;
    case DecimalKind::OutOfRange:
        return result; // a value that cannot be held ends the examination
    case DecimalKind::NotANumber:
        break; // no usable value: the bars are still recomputed
    }
    return ProgressAt(currentTime, clipSeconds, doneSeconds, totalSeconds);
}

TChunkProgress ProgressAt(double currentTime, double clipSeconds, double doneSeconds,
                          double totalSeconds)
{
    TChunkProgress result;
    if (clipSeconds != 0) {
        if (!BarPosition(currentTime, clipSeconds, result.current))
            return result;
        result.setCurrent = true;
    }
    if (totalSeconds != 0) {
        if (!BarPosition(doneSeconds + currentTime, totalSeconds, result.total))
            return result;
        result.setTotal = true;
    }
    result.setLabels = true;
    return result;
}

int RemainingSecondsAt(int elapsedSeconds, int totalPosition, int previous)
{
    if (totalPosition == 0)
        return previous;
    const double elapsed = elapsedSeconds;
    const qint64 remaining = RoundHalfEven(elapsed / (totalPosition / 100.0) - elapsed);
    return int(std::clamp<qint64>(remaining, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

void TMessageTail::Add(const QByteArray &bytes)
{
    // A line that never ends is cut into pieces of this size.
    constexpr int MaxPending = 4096;
    for (const char c : bytes) {
        if (c == '\n' || c == '\r') {
            Keep(m_pending);
            m_pending.clear();
        } else {
            m_pending.append(c);
            if (m_pending.size() >= MaxPending) {
                Keep(m_pending);
                m_pending.clear();
            }
        }
    }
}

void TMessageTail::Clear()
{
    m_lines.clear();
    m_notes = 0;
    m_pending.clear();
}

namespace {

// A line of the encoder's own, as it is shown: "vxenc: " and something
// more ("vxenc: " alone says nothing and counts as any other line).
bool IsNote(const QByteArray &line)
{
    int i = 0;
    while (i < line.size() && (line.at(i) == ' ' || line.at(i) == '\t'))
        ++i;
    return line.mid(i, 7) == "vxenc: "
        && QString::fromUtf8(line).trimmed().startsWith(QLatin1String("vxenc: "));
}

// Whether lines holding that many notes are beyond the tail's limits.
bool Over(const QList<QByteArray> &lines, int notes, int maxLines)
{
    return notes > MaxKeptNotes || lines.size() - notes > maxLines;
}

// Drops the oldest note while there are too many of them, otherwise the
// oldest other line.
void DropOldest(QList<QByteArray> &lines, int &notes)
{
    const bool note = notes > MaxKeptNotes;
    int i = 0;
    while (i < lines.size() - 1 && IsNote(lines.at(i)) != note)
        ++i;
    notes -= IsNote(lines.at(i)) ? 1 : 0;
    lines.removeAt(i);
}

} // namespace

QStringList TMessageTail::Lines() const
{
    QList<QByteArray> lines = m_lines;
    if (!m_pending.trimmed().isEmpty()) {
        int notes = m_notes + (IsNote(m_pending) ? 1 : 0);
        lines.append(m_pending);
        while (Over(lines, notes, m_maxLines))
            DropOldest(lines, notes);
    }
    QStringList result;
    for (const QByteArray &line : lines)
        result.append(QString::fromUtf8(line).trimmed());
    return result;
}

void TMessageTail::Keep(const QByteArray &line)
{
    if (line.trimmed().isEmpty())
        return;
    m_lines.append(line);
    m_notes += IsNote(line) ? 1 : 0;
    while (Over(m_lines, m_notes, m_maxLines))
        DropOldest(m_lines, m_notes);
}
