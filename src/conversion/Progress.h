#pragma once
// Reading the encoder's progress: what one piece of its output says about
// the time reached, the positions of the two bars that follow from it, the
// remaining-time estimate, and the last lines kept for a failure report.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The first pieces of every conversion carry the encoder's banner and the
// stream report, never a progress time, and are not examined.
constexpr int UnexaminedChunks = 2;

// The text of one read: exactly the bytes delivered, ending early at a zero
// byte should one occur.
QString ChunkText(const QByteArray &bytes);

// The progress value text of a chunk: after the first "time" (case-sensitive)
// and the one character after it, up to the first blank; empty when no blank
// follows. Only the first "time" counts, even inside another word. Without
// any "time" the text is taken from the fifth character on.
QString ProgressValueText(const QString &chunk);

// A decimal number with "." as the decimal point in any locale (optional
// sign, optional exponent). False for anything else or a value out of range.
bool ParseDecimal(const QString &text, double &value);

// round(part / whole * 100) with ties to even, clamped to 0..100 as a bar
// shows it. False when the quotient cannot be rounded (not finite, or out of
// the 64-bit range): the caller then leaves the bar as it was.
bool BarPosition(double part, double whole, int &position);

// What one examined chunk changes, in the order it is applied. A step that
// fails ends the examination: the steps after it are not applied.
struct TChunkProgress {
    bool setCurrent = false; // pgbCurrent := current
    int current = 0;
    bool setTotal = false;   // pgbTotal := total
    int total = 0;
    bool setLabels = false;  // both labels read back from the bars
};

// Steps after the value: the bars for currentTime (clip bar when
// clipSeconds is not 0, total bar when totalSeconds is not 0), then labels.
TChunkProgress ProgressAt(double currentTime, double clipSeconds, double doneSeconds,
                          double totalSeconds);

// Examines one chunk of a conversion: a value above currentTime raises it
// (it never decreases), then the current bar follows from clipSeconds and
// the total bar from doneSeconds + currentTime over totalSeconds; a divisor
// of 0 leaves its bar alone. The whole examination is protected: whatever
// cannot be computed ends it silently.
TChunkProgress ExamineChunk(const QString &chunk, double &currentTime, double clipSeconds,
                            double doneSeconds, double totalSeconds);

// The remaining seconds after elapsedSeconds at total position p (0..100):
// round(elapsed / (p / 100) - elapsed), ties to even; previous when p is 0.
int RemainingSecondsAt(int elapsedSeconds, int totalPosition, int previous);

// Lines of the encoder's own ("vxenc: ...") say what it chose for the user;
// a tail keeps up to this many of them besides its last lines.
constexpr int MaxKeptNotes = 100;

// The last lines of an encoder's output, kept while it runs so that a
// failure can show what the encoder said last. Progress lines end in "\r",
// messages in "\n"; both end a line here, and blank lines are dropped.
// The encoder's own lines stay however long the output grows after them.
class TMessageTail {
public:
    explicit TMessageTail(int maxLines = 10) : m_maxLines(maxLines) {}
    void Add(const QByteArray &bytes);
    void Clear();
    // The kept lines, oldest first; an unterminated last line included.
    QStringList Lines() const;

private:
    void Keep(const QByteArray &line);

    int m_maxLines;
    int m_notes = 0; // of m_lines
    QList<QByteArray> m_lines;
    QByteArray m_pending;
};
