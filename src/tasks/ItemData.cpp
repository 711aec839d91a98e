#include "tasks/ItemData.h"

#include "common/TimeText.h"

#include <QStringList>

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
