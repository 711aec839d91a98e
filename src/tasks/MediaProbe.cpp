#include "tasks/MediaProbe.h"

#include <QFile>

namespace {

// The report is 8-bit text; the encoder prints names as the file system
// holds them.
QString Text(const QByteArray &bytes)
{
    return QFile::decodeName(bytes);
}

// Where the field at the start of s ends: its comma or its line end; -1
// when the text ends first.
int FieldEnd(const QByteArray &s)
{
    for (int i = 0; i < s.size(); ++i)
        if (s.at(i) == ',' || s.at(i) == '\r' || s.at(i) == '\n')
            return i;
    return -1;
}

} // namespace

MeasureResult ParseMeasureReport(const QByteArray &report, const QByteArray &path)
{
    MeasureResult result;
    if (path.isEmpty())
        return result;
    const int at = report.indexOf(path);
    if (at < 0)
        return result;
    QByteArray s = report.mid(at + path.size());

    const int duration = s.indexOf("Duration");
    if (duration < 0)
        return result;
    s = s.mid(duration + 1);
    const int colon = s.indexOf(':');
    if (colon < 0)
        return result;
    s = s.mid(colon + 2); // the colon and the blank after it
    const int comma = s.indexOf(',');
    if (comma < 0)
        return result;
    result.LengthText = Text(s.left(comma));
    s = s.mid(comma + 1);

    const int video = s.indexOf("Video");
    if (video < 0)
        return result;
    s = s.mid(video);
    // The frame size is the third comma-separated field from "Video". A
    // field also ends at a line end: without a frame rate behind it, the
    // size must not run into the next stream's line.
    for (int skip = 0; skip < 2; ++skip) {
        const int next = FieldEnd(s);
        if (next < 0 || s.at(next) != ',')
            return result;
        s = s.mid(next + 1);
    }
    const int end = FieldEnd(s);
    if (end < 0)
        return result;
    result.FrameSize = Text(s.left(end));
    return result;
}

MeasureResult ParseMeasureReport(const QByteArray &report, const QString &path)
{
    return ParseMeasureReport(report, QFile::encodeName(path));
}

bool HasVideoStream(const QByteArray &report, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int at = name.isEmpty() ? -1 : report.indexOf(name);
    return at >= 0 && report.indexOf("Video:", at + name.size()) >= 0;
}
