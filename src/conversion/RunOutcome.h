#pragma once
// What became of one converted item and of the whole run: where the encoder
// writes before an item is judged, whether its output is a usable file, the
// words a failed row shows, and the message that closes a run.

#include <QString>
#include <QStringList>

// The file the encoder writes an item to: beside the final one, hidden, with
// the final name, a mark of this process and the same extension (the encoder
// chooses its format by it): "/out/.clip.mp4.part-1234.mp4". Only a verified
// output is renamed onto the final name.
QString PartialOutputPath(const QString &finalPath, qint64 pid);

// Gives a verified output its final name in one rename; with keepExisting a
// file that has appeared under that name meanwhile is not replaced.
bool CommitOutput(const QString &partial, const QString &finalPath, bool keepExisting);

// Whether a pipe for an encoder's output can be had at all; a program out of
// file descriptors fails here first.
bool PipeAvailable();

// What was found out about an output file by measuring it.
struct TOutputFacts {
    bool exists = false;
    qint64 size = 0;
    QString lengthText;   // the measure report's duration, "" when none
    bool hasVideo = false;
};

// Empty when the output is a usable conversion of the item, otherwise the
// reason in plain words. clipSeconds <= 0 means the length is unknown and is
// not compared; video is expected unless the profile disables it.
QString VerifyOutput(const TOutputFacts &facts, double clipSeconds, bool videoExpected);

// Whether an argument text (the profile's and the item's switches) turns
// the video stream off.
bool DisablesVideo(const QString &argumentText);

// How an encoder run ended, as far as the failure report needs it.
struct TEncoderEnd {
    bool crashed = false;      // ended by a signal it was not sent by us
    int exitCode = 0;
    bool outputFolderGone = false;
};

// The tooltip of a failed row: one plain sentence naming the cause where it
// can be recognised from the encoder's last lines, then its last error line.
QString FailureText(const TEncoderEnd &end, const QStringList &lastLines);

// The last line of an encoder's output that is not a progress report.
QString LastErrorLine(const QStringList &lines);

// The message that closes a completed run (neither stopped nor ended by a
// start failure). The warnings the run gave follow the result.
struct TCompletionMessage {
    QString text;
    QString caption;
    bool warning = false;
    bool namesLog = false; // the text tells where the log is
};
TCompletionMessage CompletionMessage(int failed, int count, const QString &logPath,
                                     const QStringList &warnings = {});

// An encoder's end for people: "exit status 0", or that a signal ended it.
QString ExitDescription(bool killedBySignal, int exitCode);
