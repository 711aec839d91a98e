#pragma once
// Keeps the machine awake for as long as it lives: a run holds one from Start
// to its end, however it ends.

#include "common/Platform.h"

#include <QString>

// What the desktop shows as the reason for the lock.
inline QString KeepAwakeReason(int files)
{
    return files == 1 ? QStringLiteral("Converting 1 video file")
                      : QStringLiteral("Converting %1 video files").arg(files);
}

class TKeepAwake {
public:
    explicit TKeepAwake(int files) { Platform::Instance().BeginSleepInhibit(KeepAwakeReason(files)); }
    ~TKeepAwake() { Platform::Instance().EndSleepInhibit(); }
    TKeepAwake(const TKeepAwake &) = delete;
    TKeepAwake &operator=(const TKeepAwake &) = delete;
};
