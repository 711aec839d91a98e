#include "tasks/ItemData.h"

#include "common/TimeText.h"

#include <QStringList>

QString &SubItemText(ltvItemData &rec, int subItem)
{
    switch (subItem) {
    case 0: return rec.LengthText;
    case 1: return rec.FrameSizeText;
    case 2: return rec.Status;
    case 3: return rec.OutputName;
    case 4: return rec.OutputExt;
    case 5: return rec.SourceStart;
    case 6: return rec.SourceEnd;
    case 7: return rec.ClipLength;
    case 8: return rec.ClipStart;
    default: return rec.ClipEnd;
    }
}

void DeriveSeconds(ltvItemData &rec, int subItem)
{
    switch (subItem) {
    case 0: rec.LengthSec = TimeTextToSeconds(rec.LengthText); break;
    case 5: rec.SourceStartSec = TimeTextToSeconds(rec.SourceStart); break;
    case 6: rec.SourceEndSec = TimeTextToSeconds(rec.SourceEnd); break;
    case 7: rec.ClipLengthSec = TimeTextToSeconds(rec.ClipLength); break;
    case 8: rec.ClipStartSec = TimeTextToSeconds(rec.ClipStart); break;
    case 9: rec.ClipEndSec = TimeTextToSeconds(rec.ClipEnd); break;
    default: break;
    }
}

void DeriveAllSeconds(ltvItemData &rec)
{
    for (int k : {0, 5, 6, 7, 8, 9})
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
