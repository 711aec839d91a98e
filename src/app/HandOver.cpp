// The main window's side of a later start: "Open With" from a file manager,
// or velvo named again on a command line, while this window is open.
#include "app/MainForm.h"

#include "app/Application.h"
#include "common/Platform.h"
#include "ini/NewInifiles.h"
#include "tasks/TaskSources.h"

#include <QDir>
#include <QTreeWidget>

namespace {

QString HandOverRefusal(int count)
{
    if (count == 1)
        return QStringLiteral("A batch is being converted, so the file given was not added to the task list. "
                              "Add it again when the batch has ended.");
    return QStringLiteral("A batch is being converted, so the %1 files given were not added to the task list. "
                          "Add them again when the batch has ended.")
        .arg(count);
}

} // namespace

void TMainForm::TakeHandedArguments(const QString &folder, const QStringList &arguments)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (arguments.isEmpty())
        return;

    // Names are relative to the folder the other start ran in, the lines of
    // a list file included.
    const QDir base(folder);
    const auto absolute = [&base](const QString &name) {
        return name.isEmpty() ? name : QDir::cleanPath(base.absoluteFilePath(name));
    };
    QStringList entries;
    try {
        const QStringList names =
            IsListFileName(arguments.first()) ? ReadListFile(absolute(arguments.first())) : arguments;
        for (const QString &name : names)
            if (!name.isEmpty())
                entries.append(absolute(name));
    } catch (const EFileError &e) {
        Platform::Instance().ShowNotice(this, e.message(), QStringLiteral("Velvo"), Platform::Icon::Error);
        return;
    }
    if (entries.isEmpty())
        return;

    if (RunState != 0) {
        // Not waited for: the batch goes on while the message is shown.
        Platform::Instance().ShowNotice(this, HandOverRefusal(entries.size()), QStringLiteral("Velvo"),
                                        Platform::Icon::Information);
        return;
    }
    try {
        AddCommandLineEntries(entries);
    } catch (const std::exception &e) {
        // Called from the event loop: the error is shown here, and the rows
        // added so far stay.
        ShowErrorMessage(QString::fromUtf8(e.what()));
    }
    if (ltvTask->topLevelItemCount() > 0)
        SetListButtonsEnabled(true);
}
