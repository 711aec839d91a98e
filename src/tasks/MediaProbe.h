#pragma once
// Reading the encoder's measure report: the duration text and the video
// frame size text, taken from the part of the report after the input path.

#include <QByteArray>
#include <QString>

// The start every measured file gets.
inline QString ProbeStartText() { return QStringLiteral("00:00:00.0"); }

// The most of a measure report that is kept; a report is a few hundred bytes,
// the rest of a runaway output is read and dropped.
constexpr int MaxMeasureReport = 1 << 20;

struct MeasureResult {
    QString LengthText; // "00:01:23.45", copied unchanged
    QString FrameSize;  // " 640x480", leading blank included
};

// Parses the whole report. The search starts after the first occurrence of
// path, so commas, colons or "Duration" inside the path do not disturb it.
// A missing marker gives empty texts: no path, "Duration", ":" or the comma
// after the duration empties both; no "Video" or one of the commas after it
// empties the frame size only.
MeasureResult ParseMeasureReport(const QByteArray &report, const QByteArray &path);
// The same for a path as the program holds it (encoded as the encoder sees it).
MeasureResult ParseMeasureReport(const QByteArray &report, const QString &path);

// Whether the report names a video stream after the path.
bool HasVideoStream(const QByteArray &report, const QString &path);
