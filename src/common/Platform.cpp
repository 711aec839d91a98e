#include "common/Platform.h"

#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {

class DesktopPlatform : public Platform {
public:
    static QMessageBox::Icon BoxIcon(Icon icon)
    {
        switch (icon) {
        case Icon::Information: return QMessageBox::Information;
        case Icon::Question: return QMessageBox::Question;
        case Icon::Warning: return QMessageBox::Warning;
        case Icon::Error: return QMessageBox::Critical;
        }
        return QMessageBox::Information;
    }

    int MessageBox(QWidget *owner, const QString &text, const QString &caption, Icon icon,
                   Buttons buttons) override
    {
        const QMessageBox::Icon qicon = BoxIcon(icon);
        QMessageBox box(qicon, caption, text,
                        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                        owner);
        const int result = box.exec();
        if (result == QMessageBox::Yes)
            return Yes;
        if (result == QMessageBox::No)
            return No;
        return Ok;
    }

    void ShowNotice(QWidget *owner, const QString &text, const QString &caption, Icon icon) override
    {
        auto *box = new QMessageBox(BoxIcon(icon), caption, text, QMessageBox::Ok, owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }

    QStringList OpenFiles(QWidget *owner, const QString &filter) override
    {
        QFileDialog dialog(owner);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilter(QtFilterFromPairs(filter));
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.selectedFiles();
    }

    QString SaveFile(QWidget *owner, const QString &filter, const QString &defaultExt,
                     const QString &folder) override
    {
        QFileDialog dialog(owner, QString(), folder);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QtFilterFromPairs(filter));
        QString ext = defaultExt;
        if (ext.startsWith('.'))
            ext.remove(0, 1);
        dialog.setDefaultSuffix(ext);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().first();
    }

    bool SelectFolder(QWidget *owner, const QString &caption, QString &folder) override
    {
        if (!folder.isEmpty() && !QFileInfo(folder).isDir())
            folder.clear();
        const QString chosen = QFileDialog::getExistingDirectory(owner, caption, folder);
        if (chosen.isEmpty())
            return false;
        folder = chosen;
        return true;
    }

    bool OpenDocument(const QString &path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }

    bool PowerOff() override
    {
        // logind decides; interactive=false so nothing is forced.
        QDBusInterface logind("org.freedesktop.login1", "/org/freedesktop/login1",
                              "org.freedesktop.login1.Manager", QDBusConnection::systemBus());
        if (!logind.isValid())
            return false;
        const QDBusMessage reply = logind.call("PowerOff", false);
        return reply.type() != QDBusMessage::ErrorMessage;
    }
};

DesktopPlatform &Desktop()
{
    static DesktopPlatform platform;
    return platform;
}

Platform *g_platform = nullptr;

} // namespace

Platform &Platform::Instance()
{
    return g_platform ? *g_platform : Desktop();
}

void Platform::SetInstance(Platform *platform)
{
    g_platform = platform;
}

QString QtFilterFromPairs(const QString &filter)
{
    const QStringList parts = filter.split('|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        result << parts[i] + " (" + patterns.trimmed() + ")";
    }
    return result.join(";;");
}
