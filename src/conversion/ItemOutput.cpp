#include "conversion/ItemOutput.h"

#include "conversion/PartialsList.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

// A name taken again and again is given up on.
constexpr int MaxNameTries = 1000;

QString FolderChanged()
{
    return QStringLiteral("The output folder changed while converting.");
}

} // namespace

TItemOutput::~TItemOutput()
{
    Discard();
}

bool TItemOutput::Begin(const QString &finalPath, QString &failure)
{
    m_finalPath = finalPath;
    QString error;
    if (!m_partial.Create(finalPath, error)) {
        failure = QStringLiteral("The output file could not be created: %1").arg(error);
        m_done = true;
        return false;
    }
    // Unrecorded (the state folder cannot be written), the file is still
    // removed on every end but a crash.
    if (m_list)
        m_recorded = m_list->Add(m_partial.Path(), m_partial.Device(), m_partial.Inode());
    return true;
}

QString TItemOutput::Commit(bool replace, const std::function<QString()> &nextFreeName, QString &failure)
{
    QString path = m_finalPath;
    for (int tries = 0; tries < MaxNameTries && !path.isEmpty(); ++tries) {
        if (QFileInfo(path).absolutePath() != QFileInfo(m_partial.Path()).absolutePath())
            break; // a name elsewhere cannot be this folder's
        switch (m_partial.Rename(QFileInfo(path).fileName(), replace)) {
        case TPartialOutput::Commit::Done:
            Forget();
            m_done = true;
            return path;
        case TPartialOutput::Commit::NameTaken:
            path = nextFreeName ? nextFreeName() : QString();
            continue;
        case TPartialOutput::Commit::FolderChanged:
            failure = FolderChanged();
            Discard();
            return QString();
        case TPartialOutput::Commit::Failed:
            failure = QStringLiteral("The output file could not be given its name: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
            Discard();
            return QString();
        }
    }
    failure = QStringLiteral("No free output file name was found.");
    Discard();
    return QString();
}

void TItemOutput::Discard()
{
    if (!m_done)
        m_partial.Remove();
    m_done = true;
    Forget();
}

void TItemOutput::Forget()
{
    if (m_recorded && m_list)
        m_list->Remove(m_partial.Device(), m_partial.Inode());
    m_recorded = false;
}
