// The task list's file on disk: offered back at start-up when the program or
// its session died, kept up to date while the program runs.
#include "app/MainForm.h"

#include "common/Platform.h"
#include "tasks/TaskListState.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTreeWidget>

#include <cstdio>
#include <unistd.h>

namespace {

// Far above any real list (10,000 rows take a few megabytes); a larger file
// is not read into memory.
constexpr qint64 MaxTaskListBytes = 256LL * 1024 * 1024;

bool ReadTaskList(const QString &path, TTaskListSnapshot &snapshot, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.size() > MaxTaskListBytes) {
        error = QStringLiteral("the file is too large");
        return false;
    }
    return ParseTaskList(file.readAll(), snapshot, error);
}

QString RestoreQuestion(int files)
{
    return files == 1 ? QStringLiteral("Velvo did not close normally last time. Restore the task list of 1 file?")
                      : QStringLiteral("Velvo did not close normally last time. Restore the task list of %1 files?")
                            .arg(files);
}

} // namespace

void TMainForm::SetupTaskListState()
{
    const QString folder = TaskStateFolder();
    TaskListKeeper = new TTaskListKeeper(ltvTask->model(), TaskListPath(folder, ::getpid()), this);
    TaskListKeeper->OnSaveError = [this](const QString &error) {
        ShowWarning(QStringLiteral("The task list cannot be kept in \"%1\" (%2). It will not be restored if Velvo "
                                   "ends unexpectedly.")
                        .arg(TaskListKeeper->Path(), error));
    };

    for (const QString &orphan : OrphanedTaskLists(folder)) {
        const QString claimed = ClaimTaskList(orphan);
        if (claimed.isEmpty())
            continue; // another program took it over
        TTaskListSnapshot snapshot;
        QString error;
        if (!ReadTaskList(claimed, snapshot, error)) {
            const QString aside = orphan + QStringLiteral(".bad");
            std::rename(QFile::encodeName(claimed).constData(), QFile::encodeName(aside).constData());
            Platform::Instance().MessageBox(
                this,
                QStringLiteral("The task list left behind last time could not be read (%1). It was set aside as "
                               "\"%2\".")
                    .arg(error, aside),
                QStringLiteral("Velvo"), Platform::Icon::Warning);
            continue;
        }
        if (!snapshot.Rows.isEmpty()
            && Platform::Instance().MessageBox(this, RestoreQuestion(int(snapshot.Rows.size())),
                                               QStringLiteral("Velvo"), Platform::Icon::Question,
                                               Platform::Buttons::YesNo) == Platform::Yes) {
            RestoreTaskList(snapshot.Rows);
            // Kept in this program's own file before the old one goes.
            TaskListKeeper->SaveNow();
        }
        QFile::remove(claimed);
    }
}

void TMainForm::RestoreTaskList(const QList<QStringList> &rows)
{
    // Into the list as start-up finds it, empty.
    QList<QTreeWidgetItem *> items;
    QSet<QString> seen;
    for (const QStringList &row : rows) {
        const QString input = row.value(0);
        if (input.isEmpty() || seen.contains(input))
            continue;
        seen.insert(input);
        auto *item = new QTreeWidgetItem;
        for (int c = 0; c < TaskRowTexts; ++c)
            item->setText(c, row.value(c));
        // Sub-item 2, the status: an item cut off in the middle of its
        // conversion counts as stopped; an input that has gone is named so.
        constexpr int StatusColumn = 1 + 2;
        if (!QFileInfo::exists(input))
            item->setText(StatusColumn, QStringLiteral("Missing"));
        else if (item->text(StatusColumn) == QLatin1String("Converting"))
            item->setText(StatusColumn, QStringLiteral("Stop"));
        items << item;
    }
    const int first = ltvTask->topLevelItemCount();
    ltvTask->addTopLevelItems(items);
    // A row kept before its measure answered is measured now.
    for (int i = 0; i < items.size(); ++i)
        if (items.at(i)->text(1).isEmpty() && items.at(i)->text(3) != QLatin1String("Missing"))
            QueueMeasure(first + i);
}
