#pragma once
// What the desktop shows as the reason for the sleep lock a run holds.

#include <QString>

inline QString KeepAwakeReason(int files)
{
    return files == 1 ? QStringLiteral("Converting 1 video file")
                      : QStringLiteral("Converting %1 video files").arg(files);
}
