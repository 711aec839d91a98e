#include "common/ProgramFolder.h"

#include <QCoreApplication>

namespace {
QString g_override;
}

QString ApplicationFolder()
{
    QString folder = g_override.isEmpty() ? QCoreApplication::applicationDirPath() : g_override;
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

void SetApplicationFolder(const QString &folder)
{
    g_override = folder;
}
