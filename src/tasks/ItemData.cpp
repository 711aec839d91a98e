#include "tasks/ItemData.h"

#include "common/TimeText.h"

#include <QStringList>

#include <cmath>

QString &SubItemText(ltvItemData &rec, int subItem)
{
    switch (subItem) {
    case siLength: return rec.LengthText;
    case siFrameSize: return rec.FrameSizeText;
    case siStatus: return rec.Status;
    case siOutputName: return rec.OutputName;
    case siOutputExt: return rec.OutputExt;
    case siSourceStart: return rec.SourceStart;
    case siSourceEnd: return rec.SourceEnd;
    case siClipLength: return rec.ClipLength;
    case siClipStart: return rec.ClipStart;
    default: return rec.ClipEnd;
    }
}

void DeriveSeconds(ltvItemData &rec, int subItem)
{
    switch (subItem) {
    case siLength: rec.LengthSec = TimeTextToSeconds(rec.LengthText); break;
    case siSourceStart: rec.SourceStartSec = TimeTextToSeconds(rec.SourceStart); break;
    case siSourceEnd: rec.SourceEndSec = TimeTextToSeconds(rec.SourceEnd); break;
    case siClipLength: rec.ClipLengthSec = TimeTextToSeconds(rec.ClipLength); break;
    case siClipStart: rec.ClipStartSec = TimeTextToSeconds(rec.ClipStart); break;
    case siClipEnd: rec.ClipEndSec = TimeTextToSeconds(rec.ClipEnd); break;
    default: break;
    }
}

void ApplyClipRange(ltvItemData &rec, const QString &startText, const QString &endText)
{
    double p = TimeTextToSeconds(startText);
    double q = TimeTextToSeconds(endText);
    if (p == -1)
        p = rec.ClipStartSec;
    if (q == -1)
        q = rec.ClipEndSec;
    if (!(p >= 0 && p < q && p < rec.SourceEndSec))
        p = rec.ClipStartSec;
    if (!(q > 0 && q > p && q > rec.SourceStartSec))
        q = rec.ClipEndSec;
    rec.ClipStart = SecondsToTimeText(p);
    rec.ClipEnd = SecondsToTimeText(q);
    rec.ClipLength = SecondsToTimeText(q - p);
}

int TaskColumnWidth(int column, int width, int delta)
{
    // Caption, Length, Size, Status.
    static const double shares[] = {0.49, 0.17, 0.15, 0.19};
    if (column < 0 || column > 3)
        return width;
    return static_cast<int>(std::nearbyint(width + delta * shares[column]));
}

QStringList TaskListCaptions()
{
    return {QStringLiteral("Input File"), QStringLiteral("Length"), QStringLiteral("Size"),
            QStringLiteral("Status"), QStringLiteral("Output Name"), QStringLiteral("Output Ext"),
            QStringLiteral("Source Start"), QStringLiteral("Source End"), QStringLiteral("Clip Length"),
            QStringLiteral("Clip Start"), QStringLiteral("Clip End")};
}

void DeriveAllSeconds(ltvItemData &rec)
{
    for (int k : {siLength, siSourceStart, siSourceEnd, siClipLength, siClipStart, siClipEnd})
        DeriveSeconds(rec, k);
}

QString RemoveExtension(const QString &name)
{
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

QString FileExtension(const QString &path)
{
    // The file-name part begins after the last folder separator (or a drive
    // colon, which may appear in names carried over from elsewhere).
    const int sep = qMax(path.lastIndexOf('/'), path.lastIndexOf(':'));
    const int dot = path.lastIndexOf('.');
    return dot > sep ? path.mid(dot) : QString();
}

bool HasListedExtension(const QString &name, const QStringList &list)
{
    QString ext = FileExtension(name);
    // ASCII-only lower-casing, as the lists are.
    for (QChar &c : ext)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + 32);
    return list.contains(ext);
}
