#pragma once
// The per-item record of the task list. The texts live in the list's rows;
// the seconds are derived from the time texts on every read.

#include <QString>

struct ltvItemData {
    QString InputFile;     // caption
    QString LengthText;    // sub-item 0
    QString FrameSizeText; // sub-item 1
    QString Status;        // sub-item 2
    QString OutputName;    // sub-item 3
    QString OutputExt;     // sub-item 4
    QString SourceStart;   // sub-item 5
    QString SourceEnd;     // sub-item 6
    QString ClipLength;    // sub-item 7
    QString ClipStart;     // sub-item 8
    QString ClipEnd;       // sub-item 9
    double LengthSec = 0;
    double SourceStartSec = 0;
    double SourceEndSec = 0;
    double ClipLengthSec = 0;
    double ClipStartSec = 0;
    double ClipEndSec = 0;
};

// Selectors of ReadItemData/WriteItemData.
enum : int { sdAll = -2, sdCaption = -1 };
// The sub-items of a row, in their column order after the caption.
enum TSubItem : int {
    siLength = 0,
    siFrameSize,
    siStatus,
    siOutputName,
    siOutputExt,
    siSourceStart,
    siSourceEnd,
    siClipLength,
    siClipStart,
    siClipEnd
};
constexpr int SubItemCount = 10;
// The first sub-item the list does not show.
constexpr int FirstHiddenSubItem = siOutputName;
// The list's column captions: the caption's, then one per sub-item.
QStringList TaskListCaptions();

// The text of sub-item k (0..9) of a record, and its setter.
QString &SubItemText(ltvItemData &rec, int subItem);
// Derives the seconds that belong to sub-item k (0, 5..9); nothing for others.
void DeriveSeconds(ltvItemData &rec, int subItem);
void DeriveAllSeconds(ltvItemData &rec);

// Takes a typed start and end time into the record's clip: a text that is
// no time keeps the row's value; a start at or after the end (or the source's
// end) keeps the row's start, an end at or before the start (or the source's
// start) keeps the row's end. ClipStart, ClipEnd and ClipLength are then
// written as time texts.
void ApplyClipRange(ltvItemData &rec, const QString &startText, const QString &endText);

// The new width of one of the four shown columns, now width pixels wide,
// when the list grows by delta pixels: each takes its share of the change,
// rounded ties to even.
int TaskColumnWidth(int column, int width, int delta);

// The text before the last "." of name; name itself without any ".".
QString RemoveExtension(const QString &name);
// The extension of a path's file-name part (from its last "."), "" without one.
QString FileExtension(const QString &path);
// Whether the lower-cased extension of name is one of list (lower-case entries).
bool HasListedExtension(const QString &name, const QStringList &list);
