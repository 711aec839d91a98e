#include "tasks/FileTypes.h"

#include "tasks/ItemData.h"

QStringList InputExtensionList()
{
    return {".avi", ".mpg", ".mpeg", ".mp4", ".wmv", ".mov", ".vob", ".asf",
            ".mkv", ".webm", ".m4v", ".ts", ".mts", ".m2ts", ".3gp", ".3g2", ".ogv",
            ".mp3", ".m4a", ".aac", ".wav", ".flac", ".ogg", ".opus", ".wma"};
}

QStringList OutputTypeExtensionList()
{
    return {".avi", ".mpg", ".mpeg", ".mp4", ".wmv", ".mov", ".vob", ".asf", ".flv", ".swf", ".3gp", ".3g2",
            ".mkv", ".webm", ".gif", ".mp3", ".m4a", ".flac", ".opus", ".wav"};
}

QString ScanMaskOf(const QStringList &extensions)
{
    QString mask;
    for (const QString &e : extensions)
        mask += "*" + e + ";";
    return mask;
}

QString OpenDialogFilterOf(const QStringList &extensions)
{
    const QString mask = ScanMaskOf(extensions);
    QString filter = "All Support Files(" + mask + ")|" + mask + "|";
    for (const QString &e : extensions)
        filter += e.mid(1).toUpper() + " Files (*" + e + ")|*" + e + "|";
    return filter + "All Files (*.*)|*.*";
}

void TSkippedFiles::Add(const QString &name)
{
    ++m_count;
    const QString ext = FileExtension(name).toLower();
    const QString type = ext.isEmpty() ? QStringLiteral("no extension") : ext;
    if (!m_types.contains(type))
        m_types << type;
}

QString TSkippedFiles::Notice() const
{
    if (m_count == 0)
        return {};
    const QString types = m_types.join(", ");
    if (m_count == 1)
        return "1 file was not added because its type is not supported: " + types + ".";
    return QString::number(m_count) + " files were not added because their types are not supported: " + types +
           ".";
}
