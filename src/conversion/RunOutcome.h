#pragma once
// What became of one converted item and of the whole run: where the encoder
// writes before an item is judged, whether its output is a usable file, the
// words a failed row shows, and the message that closes a run.

#include <QString>
#include <QStringList>

// The name of the file the encoder writes an item to: beside the final one,
// hidden, with the final name, a mark and the same extension (the encoder
// chooses its format by it): "/out/.clip.mp4.part-<mark>.mp4". A final name
// near the file-name limit is shortened here, never the final one.
QString PartialOutputPath(const QString &finalPath, const QString &mark);

// Whether a pipe for an encoder's output can be had at all; a program out of
// file descriptors fails here first.
bool PipeAvailable();

// What was found out about an output file by measuring it.
struct TOutputFacts {
    bool exists = false;
    qint64 size = 0;
    QString lengthText;   // the measure report's duration, "" when none
    bool hasVideo = false;
    int streams = 0;      // streams of any kind the report names
    bool measured = true; // false: the measure gave no answer
};

// The facts in a measure report of the output at path (exists and size are
// the caller's).
void ReadOutputReport(const QByteArray &report, const QString &path, TOutputFacts &facts);

// What an item's output may be expected to hold.
struct TOutputExpectation {
    double clipStart = 0;       // where the clip starts in the source
    double expectedSeconds = 0; // ClipSecondsToConvert; <= 0 unknown
    double claimedSeconds = 0;  // the source's measured length; <= 0 unknown
    bool pictureExpected = true; // the source has a picture and the profile keeps video
    double reachedSeconds = 0;  // the encoder's last progress time
};

// The judgement of an output the encoder finished normally. failure is
// empty for an output that is kept; note is a plain sentence for the row's
// messages and the run log about a kept output that differs from the
// expectation ("The source ends at 2.3 s although it claims 4.0 s.").
struct TOutputVerdict {
    QString failure;
    QString note;
};

// An output is refused only when it is missing, empty (no bytes, or no
// playable length), holds no stream, lacks a picture it should have, or is
// short of what the encoder itself reached. Shorter than expected but as long as the encoder read, it is the
// whole of a source shorter than its header claims, and is kept.
TOutputVerdict JudgeOutput(const TOutputFacts &facts, const TOutputExpectation &expectation);

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
