// Task list part of the main window: the rows and their records, adding
// files (each measured off the window), removing and moving rows, the
// per-file output options, the command line and dropped files.
#include "app/MainForm.h"

#include "common/Platform.h"
#include "common/TimeText.h"
#include "profiles/ValueListEditor.h"
#include "tasks/AddQueue.h"
#include "tasks/FileTypes.h"
#include "tasks/MeasureQueue.h"
#include "tasks/MediaProbe.h"
#include "tasks/TaskSources.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString KeyNewFilename = QStringLiteral("New Filename");
const QString KeyStartTime = QStringLiteral("Start Time");
const QString KeyEndTime = QStringLiteral("End Time");

} // namespace

// Keeps a count of every row caption so that the duplicate test of AddFile
// does not walk the whole list (a folder of thousands of files would take
// quadratic time). The rows stay the only storage: the index follows the
// model's insertions and removals, and WriteItemData reports caption changes.
// It also receives the list's key and mouse events.
class TTaskListHelper : public QObject {
public:
    TTaskListHelper(TMainForm *form, QTreeWidget *list)
        : QObject(form), m_form(form), m_list(list), m_viewport(list->viewport())
    {
        QAbstractItemModel *model = list->model();
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this, model](const QModelIndex &parent, int first, int last) {
                    if (parent.isValid())
                        return;
                    for (int r = first; r <= last; ++r)
                        Add(model->index(r, 0).data().toString());
                });
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this, model](const QModelIndex &parent, int first, int last) {
                    if (parent.isValid())
                        return;
                    for (int r = first; r <= last; ++r)
                        Remove(model->index(r, 0).data().toString());
                });
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_captions.clear(); });
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            // A keyboard move of the selection refills the editor the way a
            // click does, so an edit always lands on the row shown.
            if (!BulkSelection)
                m_form->ShowOutputOptions();
        });
        list->installEventFilter(this);
        m_viewport->installEventFilter(this);
    }

    bool Contains(const QString &caption) const { return m_captions.value(caption) > 0; }
    void Add(const QString &caption) { ++m_captions[caption]; }
    void Remove(const QString &caption)
    {
        auto it = m_captions.find(caption);
        if (it != m_captions.end() && --it.value() <= 0)
            m_captions.erase(it);
    }
    void Rename(const QString &from, const QString &to)
    {
        if (from == to)
            return;
        Remove(from);
        Add(to);
    }

    // Set while the list's own commands change the selection row by row.
    bool BulkSelection = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_list && event->type() == QEvent::KeyPress) {
            const auto *keyEvent = static_cast<QKeyEvent *>(event);
            const int key = keyEvent->key();
            if (key == Qt::Key_Delete) {
                m_form->tbtnRemoveClick();
                return true;
            }
            if (key == Qt::Key_Backspace) {
                m_form->AskToClear();
                return true;
            }
            if ((key == Qt::Key_Return || key == Qt::Key_Enter)
                && (keyEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                m_form->ltvTaskDblClick(); // plays the selected row in the preview
                return true;
            }
        } else if (watched == m_viewport) {
            if (event->type() == QEvent::MouseButtonRelease) {
                if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                    m_form->ltvTaskClick();
            } else if (event->type() == QEvent::MouseButtonDblClick) {
                if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                    m_form->ltvTaskDblClick();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TMainForm *m_form;
    QTreeWidget *m_list;
    // Kept rather than asked for: events still arrive while the list is being
    // destroyed, when it is no longer a scroll area.
    QWidget *m_viewport;
    QHash<QString, int> m_captions;
};

namespace {

// Above this many rows at once, Remove rebuilds the list instead of taking
// the rows out one by one.
constexpr int ManyRows = 64;

// Which rows are selected, one flag per row, from the selection's ranges
// (asking every row on its own costs a range search each).
QVector<bool> SelectedFlags(const QTreeWidget *list)
{
    QVector<bool> flags(list->topLevelItemCount(), false);
    const QItemSelection selection = list->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent().isValid())
            continue;
        for (int r = qMax(0, range.top()); r <= range.bottom() && r < flags.size(); ++r)
            flags[r] = true;
    }
    return flags;
}

// Which rows a run has converted (status, sub-item 2, "Complete"), one flag per row.
QVector<bool> CompletedFlags(const QTreeWidget *list)
{
    QVector<bool> flags(list->topLevelItemCount(), false);
    for (int i = 0; i < flags.size(); ++i)
        flags[i] = list->topLevelItem(i)->text(1 + 2) == QLatin1String("Complete");
    return flags;
}

// Selects exactly the flagged rows. Emptying the selection first and then
// adding the new ranges costs far less than replacing a selection of many
// ranges by another, which compares every old range with every new one.
void SelectFlagged(QTreeWidget *list, const QVector<bool> &flags)
{
    QAbstractItemModel *model = list->model();
    const int lastColumn = model->columnCount() - 1;
    QItemSelection selection;
    const int n = flags.size();
    for (int r = 0; r < n;) {
        if (!flags[r]) {
            ++r;
            continue;
        }
        const int top = r;
        while (r < n && flags[r])
            ++r;
        selection.append(QItemSelectionRange(model->index(top, 0), model->index(r - 1, lastColumn)));
    }
    list->selectionModel()->clearSelection();
    list->selectionModel()->select(selection, QItemSelectionModel::Select);
}

// Exchanges every text of two rows (caption and sub-items, the same as a
// read and a write of both with selector -2) without a change signal per
// text; the caller reports the changed rows once with RowsChanged. The set
// of captions stays the same, so the caption index needs no update.
void ExchangeRows(QTreeWidget *list, int a, int b)
{
    QTreeWidgetItem *x = list->topLevelItem(a);
    QTreeWidgetItem *y = list->topLevelItem(b);
    const QTreeWidgetItem saved(*x);
    *x = *y;
    *y = saved;
}

void RowsChanged(QTreeWidget *list, int first, int last)
{
    QAbstractItemModel *model = list->model();
    emit model->dataChanged(model->index(first, 0), model->index(last, model->columnCount() - 1));
}

} // namespace

// ---------------------------------------------------------------- wiring

void TMainForm::SetupTaskList()
{
    TaskHelper = new TTaskListHelper(this, ltvTask);
    Measures = new TMeasureQueue(this);
    connect(Measures, &TMeasureQueue::Measured, this, &TMainForm::MeasureAnswered);
    connect(Measures, &TMeasureQueue::Idle, this, &TMainForm::ShowMeasuringNotice);
    Adding = new TAddQueue(this);
    Adding->AddFile = [this](const QString &file) { AddFile(file); };
    Adding->ListFolder = [this](const QString &folder) {
        const QString base = WithTrailingSeparator(folder);
        QStringList files = ScanFolder(folder, ScanMask);
        for (QString &name : files)
            name.prepend(base);
        return files;
    };
    connect(Adding, &TAddQueue::SliceDone, this, [this] {
        // Any add that leaves rows enables the list's buttons, once Start
        // is not waiting and no run holds them.
        if (RunState == 0 && !m_startWhenMeasured && ltvTask->topLevelItemCount() > 0)
            SetListButtonsEnabled(true);
        ShowMeasuringNotice();
    });
    // Stop also gives up a start that waits for measures.
    connect(tbtnStop, &QToolButton::clicked, this, [this] {
        if (m_startWhenMeasured)
            StopWaitingToStart();
    });
    // Added after the menu's other items, as its last.
    mniRemoveCompleted = ppmTask->addAction("Remove Completed Items");
    mniRemoveCompleted->setObjectName("mniRemoveCompleted");
    connect(mniRemoveCompleted, &QAction::triggered, this, &TMainForm::mniRemoveCompletedClick);

    connect(ltvTask, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        ppmTaskPopup();
        // Shown without waiting for it; the chosen item runs from the menu.
        ppmTask->popup(ltvTask->viewport()->mapToGlobal(pos));
    });
    connect(mniOpen, &QAction::triggered, this, &TMainForm::ltvTaskDblClick);
    connect(mniAddFiles, &QAction::triggered, this, &TMainForm::tbtnAddFileClick);
    connect(mniAddDir, &QAction::triggered, this, &TMainForm::tbtnAddDirClick);
    connect(mniRemove, &QAction::triggered, this, &TMainForm::tbtnRemoveClick);
    connect(mniClear, &QAction::triggered, this, &TMainForm::AskToClear);
    connect(mniShowMessages, &QAction::triggered, this, &TMainForm::mniShowMessagesClick);

    connect(vleOutput, &TValueListEditor::ValueValidated, this, [this](int) { ApplyOutputOptions(); });
    connect(vleOutput, &TValueListEditor::MousePressed, this, &TMainForm::RepaintEditors);
    vleOutput->SetMousePressGuard([this] { return GuardOutputEditing(); });
}

// ---------------------------------------------------------------- records

void TMainForm::ReadItemData(int index, int selector, ltvItemData &rec) const
{
    const QTreeWidgetItem *item = ltvTask->topLevelItem(index);
    if (!item)
        return;
    if (selector == sdAll) {
        rec.InputFile = item->text(0);
        for (int k = 0; k < SubItemCount; ++k)
            SubItemText(rec, k) = item->text(k + 1);
        DeriveAllSeconds(rec);
    } else if (selector == sdCaption) {
        rec.InputFile = item->text(0);
    } else if (selector >= 0 && selector < SubItemCount) {
        SubItemText(rec, selector) = item->text(selector + 1);
        DeriveSeconds(rec, selector);
    }
}

void TMainForm::WriteItemData(int index, int selector, const ltvItemData &rec)
{
    QTreeWidgetItem *item = ltvTask->topLevelItem(index);
    if (!item)
        return;
    if (selector == sdAll || selector == sdCaption) {
        const QString old = item->text(0);
        if (old != rec.InputFile) {
            item->setText(0, rec.InputFile);
            TaskHelper->Rename(old, rec.InputFile);
        }
        if (selector == sdAll) {
            ltvItemData copy = rec;
            for (int k = 0; k < SubItemCount; ++k)
                item->setText(k + 1, SubItemText(copy, k));
        }
    } else if (selector >= 0 && selector < SubItemCount) {
        ltvItemData copy = rec;
        item->setText(selector + 1, SubItemText(copy, selector));
    }
}

int TMainForm::SelectedIndex() const
{
    int first = -1;
    const QItemSelection selection = ltvTask->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection)
        if (!range.parent().isValid() && (first < 0 || range.top() < first))
            first = range.top();
    return first;
}

// ---------------------------------------------------------------- adding

void TMainForm::AddFile(const QString &path)
{
    if (TaskHelper->Contains(path))
        return;
    // The row shows at once; its length, size and clip end come with its
    // measure (MeasureAnswered).
    ltvItemData rec;
    rec.InputFile = path;
    rec.Status = QStringLiteral("OK");
    rec.OutputName = RemoveExtension(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    rec.OutputExt = CurrentOutputExt;
    rec.SourceStart = ProbeStartText();
    rec.ClipStart = ProbeStartText();
    auto *item = new QTreeWidgetItem;
    item->setText(0, path);
    for (int k = 0; k < SubItemCount; ++k)
        item->setText(k + 1, SubItemText(rec, k));
    ltvTask->addTopLevelItem(item);
    QueueMeasure(ltvTask->topLevelItemCount() - 1);
}

void TMainForm::QueueMeasure(int row)
{
    QTreeWidgetItem *item = ltvTask->topLevelItem(row);
    const quint64 ticket = Measures->Add(EncoderPath, item->text(0));
    item->setData(0, MeasureTicketRole, ticket);
    m_measureRowHints.insert(ticket, row);
}

void TMainForm::AddFolder(const QString &folder)
{
    Adding->AppendFolder(folder);
}

void TMainForm::tbtnAddFileClick()
{
    const QStringList files = Platform::Instance().OpenFiles(this, OpenDialogFilter);
    if (!files.isEmpty()) {
        // The dialog's first name is added last.
        for (int i = 1; i < files.size(); ++i)
            AddFile(files.at(i));
        AddFile(files.first());
    }
    if (ltvTask->topLevelItemCount() == 1) {
        ltvTask->topLevelItem(0)->setSelected(true);
        ltvTaskClick();
    }
    ltvTask->setFocus();
    if (ltvTask->topLevelItemCount() > 0)
        SetListButtonsEnabled(true);
}

void TMainForm::tbtnAddDirClick()
{
    QString folder;
    if (SelectFolder(this, QStringLiteral("Add a directory to the Task List"), QString(), folder))
        AddFolder(folder);
    ltvTask->setFocus();
    if (ltvTask->topLevelItemCount() > 0)
        SetListButtonsEnabled(true);
}

// ---------------------------------------------------------------- media probe

int TMainForm::MeasuresPending() const
{
    return Measures->Pending();
}

int TMainForm::AddsPending() const
{
    return Adding->Pending();
}

int TMainForm::FindMeasuredRow(quint64 ticket)
{
    // Rows move and go while measures run: the row is looked for outward
    // from where it was added, which finds it at once unless rows above it
    // were removed.
    const int hint = m_measureRowHints.take(ticket);
    const int count = ltvTask->topLevelItemCount();
    const auto holds = [this, ticket](int row) {
        return ltvTask->topLevelItem(row)->data(0, MeasureTicketRole).toULongLong() == ticket;
    };
    for (int d = 0; hint - d >= 0 || hint + d < count; ++d) {
        if (hint - d >= 0 && hint - d < count && holds(hint - d))
            return hint - d;
        if (d > 0 && hint + d < count && hint + d >= 0 && holds(hint + d))
            return hint + d;
    }
    return -1;
}

void TMainForm::MeasureAnswered(quint64 ticket, const MeasureResult &result)
{
    const int row = FindMeasuredRow(ticket);
    if (row >= 0) {
        ltvTask->topLevelItem(row)->setData(0, MeasureTicketRole, QVariant());
        ltvItemData rec;
        ReadItemData(row, sdAll, rec);
        // Only what changes is written: a file that cannot be measured
        // changes nothing.
        const auto set = [&](int subItem, const QString &text) {
            if (SubItemText(rec, subItem) == text)
                return;
            SubItemText(rec, subItem) = text;
            WriteItemData(row, subItem, rec);
        };
        set(siLength, result.LengthText);
        set(siFrameSize, result.FrameSize);
        set(siSourceEnd, result.LengthText);
        // The clip takes the whole file unless the user has set its end
        // meanwhile (an earlier start is refused while the length is unknown).
        if (!(rec.ClipEndSec > 0)) {
            const double length = TimeTextToSeconds(result.LengthText);
            set(siClipLength, rec.ClipStartSec > 0 && length > rec.ClipStartSec
                                  ? SecondsToTimeText(length - rec.ClipStartSec)
                                  : result.LengthText);
            set(siClipEnd, result.LengthText);
            if (row == SelectedIndex() && vleOutput->Values(KeyEndTime).isEmpty())
                vleOutput->SetValues(KeyEndTime, rec.ClipEnd);
        }
    }
    ShowMeasuringNotice();
}

void TMainForm::ShowMeasuringNotice()
{
    if (!m_startWhenMeasured || m_startDue)
        return;
    const int pending = MeasuresPending() + AddsPending();
    if (pending > 0) {
        SetNotice(TNotice::Measuring, pending == 1 ? QStringLiteral("Waiting for 1 file to be measured\u2026")
                                                   : QStringLiteral("Waiting for %1 files to be measured\u2026")
                                                         .arg(pending));
        return;
    }
    // The run starts from the event loop, not from inside the measure's own
    // signal; still waiting until then.
    m_startDue = true;
    QTimer::singleShot(0, this, [this] {
        m_startDue = false;
        if (!m_startWhenMeasured)
            return; // given up meanwhile
        StopWaitingToStart();
        tbtnStartClick();
    });
}

bool TMainForm::StartWhenMeasured()
{
    if (MeasuresPending() + AddsPending() == 0)
        return false;
    m_startWhenMeasured = true;
    tbtnStart->setEnabled(false);
    tbtnStop->setEnabled(true);
    ShowMeasuringNotice();
    return true;
}

void TMainForm::StopWaitingToStart()
{
    m_startWhenMeasured = false;
    SetNotice(TNotice::Measuring, QString());
    tbtnStop->setEnabled(false);
    tbtnStart->setEnabled(ltvTask->topLevelItemCount() > 0);
}

// ---------------------------------------------------------------- removing and moving

void TMainForm::tbtnRemoveClick()
{
    RemoveRows(SelectedFlags(ltvTask));
}

void TMainForm::mniRemoveCompletedClick()
{
    if (RunState != 0)
        return;
    RemoveRows(CompletedFlags(ltvTask));
}

void TMainForm::RemoveRows(const QVector<bool> &flags)
{
    const int removed = int(flags.count(true));
    // Their measures are of no use any more.
    for (int i = 0; i < flags.size(); ++i) {
        if (!flags.at(i))
            continue;
        const quint64 ticket = ltvTask->topLevelItem(i)->data(0, MeasureTicketRole).toULongLong();
        if (ticket != 0) {
            m_measureRowHints.remove(ticket);
            Measures->Drop(ticket);
        }
    }
    TaskHelper->BulkSelection = true;
    if (removed > 0)
        ltvTask->clearSelection();
    if (removed <= ManyRows) {
        for (int i = flags.size() - 1; i >= 0; --i)
            if (flags.at(i))
                delete ltvTask->takeTopLevelItem(i);
    } else {
        // Each single removal walks the model's whole table of kept indexes,
        // which a large selection has grown; taking all rows out and putting
        // the others back costs one walk and leaves the table empty.
        const int scroll = ltvTask->verticalScrollBar()->value();
        QList<QTreeWidgetItem *> rows = ltvTask->invisibleRootItem()->takeChildren();
        QList<QTreeWidgetItem *> kept;
        kept.reserve(rows.size() - removed);
        for (int i = 0; i < rows.size(); ++i) {
            if (flags.value(i))
                delete rows.at(i);
            else
                kept.append(rows.at(i));
        }
        ltvTask->clear();
        ltvTask->addTopLevelItems(kept);
        ltvTask->doItemsLayout();
        ltvTask->verticalScrollBar()->setValue(scroll);
    }
    TaskHelper->BulkSelection = false;
    ClearOutputOptions();
    if (ltvTask->topLevelItemCount() == 0)
        SetListButtonsEnabled(false);
}

void TMainForm::AskToClear()
{
    // A list of several rows is not emptied without asking.
    const int rows = ltvTask->topLevelItemCount();
    if (rows <= 1
        || Platform::Instance().MessageBox(this, QStringLiteral("Remove all %1 files from the task list?").arg(rows),
                                           QStringLiteral("Clear"), Platform::Icon::Question,
                                           Platform::Buttons::YesNo) == Platform::Yes)
        tbtnClearClick();
}

void TMainForm::tbtnClearClick()
{
    // Files still on their way in go too: the list is empty afterwards.
    Adding->Clear();
    m_measureRowHints.clear();
    Measures->DropAll();
    TaskHelper->BulkSelection = true;
    ltvTask->clear();
    TaskHelper->BulkSelection = false;
    ClearOutputOptions();
    SetListButtonsEnabled(false);
    if (m_startWhenMeasured)
        StopWaitingToStart(); // nothing left to wait for, nor to convert
}

void TMainForm::FinishMove(const QVector<bool> &before, const QVector<bool> &after, int first, int last)
{
    if (first >= 0)
        RowsChanged(ltvTask, first, last);
    if (after != before) {
        TaskHelper->BulkSelection = true;
        SelectFlagged(ltvTask, after);
        TaskHelper->BulkSelection = false;
        // The first selected row may now hold another record.
        ShowOutputOptions();
    }
}

void TMainForm::tbtnUpClick()
{
    QVector<bool> flags = SelectedFlags(ltvTask);
    if (!flags.contains(true))
        return;
    const QVector<bool> before = flags;
    int first = -1, last = -1;
    for (int i = 1; i < flags.size(); ++i) {
        if (!flags.at(i))
            continue;
        ExchangeRows(ltvTask, i - 1, i);
        flags[i - 1] = true;
        flags[i] = false;
        if (first < 0)
            first = i - 1;
        last = i;
    }
    FinishMove(before, flags, first, last);
}

void TMainForm::tbtnDownClick()
{
    QVector<bool> flags = SelectedFlags(ltvTask);
    if (!flags.contains(true))
        return;
    const QVector<bool> before = flags;
    int first = -1, last = -1;
    for (int i = flags.size() - 2; i >= 0; --i) {
        if (!flags.at(i))
            continue;
        ExchangeRows(ltvTask, i, i + 1);
        flags[i + 1] = true;
        flags[i] = false;
        if (last < 0)
            last = i + 1;
        first = i;
    }
    FinishMove(before, flags, first, last);
}

// ---------------------------------------------------------------- list events

void TMainForm::ltvTaskClick()
{
    ShowOutputOptions();
}

void TMainForm::ppmTaskPopup()
{
    mniRemoveCompleted->setEnabled(RunState == 0 && CompletedFlags(ltvTask).contains(true));
    const bool selected = SelectedIndex() >= 0;
    mniOpen->setEnabled(selected);
    mniRemove->setEnabled(selected);
    mniClear->setEnabled(ltvTask->topLevelItemCount() > 0);
    mniAddFiles->setEnabled(true);
    mniAddDir->setEnabled(true);
    // Only a row converted since the program started has messages.
    const QTreeWidgetItem *row = selected ? ltvTask->topLevelItem(SelectedIndex()) : nullptr;
    mniShowMessages->setEnabled(row && !row->data(0, EncoderMessagesRole).toString().isEmpty());
}

// ---------------------------------------------------------------- command line and drops

void TMainForm::TakeCommandLine(const QStringList &params)
{
    QStringList entries;
    if (!params.isEmpty() && IsListFileName(params.first()))
        entries = ReadListFile(params.first()); // the other parameters are not used
    else
        entries = params;
    AddCommandLineEntries(entries);
}

void TMainForm::AddCommandLineEntries(const QStringList &entries)
{
    TSkippedFiles skipped;
    for (const QString &entry : entries) {
        if (entry.isEmpty())
            continue;
        // Captions are absolute and clean ("scan/", "./scan" and "/abs/scan"
        // name one folder), so the exact duplicate test holds.
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(entry));
        const QFileInfo info(path);
        if (info.isFile() && HasListedExtension(path, InputExtensions))
            Adding->AppendFile(path);
        else if (info.isDir())
            AddFolder(path);
        else if (info.isFile())
            skipped.Add(path);
    }
    ShowSkippedFiles(skipped.Notice());
}

void TMainForm::ShowSkippedFiles(const QString &notice)
{
    if (labSkippedFiles->text() == notice)
        return;
    labSkippedFiles->setText(notice);
    labSkippedFiles->setVisible(!notice.isEmpty());
    // The label's text is its accessible name; tell assistive tools it changed.
    QAccessibleEvent event(labSkippedFiles, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void TMainForm::DropFiles(const QStringList &names)
{
    if (!ltvTask->isEnabled())
        return; // a run is going on
    // Every name is used whole, however long: a cut name can name another file.
    TSkippedFiles skipped;
    for (const QString &name : names) {
        if (name.isEmpty())
            continue;
        if (QFileInfo(name).isDir())
            AddFolder(name);
        else if (HasListedExtension(name, InputExtensions))
            Adding->AppendFile(name);
        else if (QFileInfo(name).isFile())
            skipped.Add(name);
    }
    ShowSkippedFiles(skipped.Notice());
}

// ---------------------------------------------------------------- per-file output options

void TMainForm::ShowOutputOptions()
{
    const int index = SelectedIndex();
    if (index < 0) {
        ClearOutputOptions();
        return;
    }
    // A row is loaded: the tip asking for one has done its work.
    HideBalloonTip();
    ltvItemData rec;
    ReadItemData(index, sdAll, rec);
    vleOutput->SetValues(KeyNewFilename, rec.OutputName + CurrentOutputExt);
    vleOutput->SetValues(KeyStartTime, rec.ClipStart);
    vleOutput->SetValues(KeyEndTime, rec.ClipEnd);
    MarkTimeProblems();
}

void TMainForm::ClearOutputOptions()
{
    vleOutput->SetValues(KeyNewFilename, QString());
    vleOutput->SetValues(KeyStartTime, QString());
    vleOutput->SetValues(KeyEndTime, QString());
    MarkTimeProblems();
}

void TMainForm::MarkTimeProblems()
{
    for (const QString &key : {KeyStartTime, KeyEndTime}) {
        const int row = vleOutput->FindRow(key);
        const QString text = vleOutput->Value(row);
        vleOutput->SetValueProblem(row, !text.isEmpty() && TimeTextToSeconds(text) < 0
                                            ? QStringLiteral("Not a time: write hh:mm:ss or hh:mm:ss.f")
                                            : QString());
    }
    vleOutput->viewport()->update();
}

void TMainForm::ApplyOutputOptions()
{
    const int index = SelectedIndex();
    if (index < 0)
        return;
    ltvItemData rec;
    ReadItemData(index, sdAll, rec);

    const QString name = vleOutput->Values(KeyNewFilename);
    rec.OutputName = RemoveExtension(name);
    rec.OutputExt = FileExtension(name);
    // A cleared name (or a bare ".mp4") would make a hidden file ".mp4": the
    // input's own name stands in.
    if (rec.OutputName.isEmpty())
        rec.OutputName = RemoveExtension(QFileInfo(rec.InputFile).fileName());

    ApplyClipRange(rec, vleOutput->Values(KeyStartTime), vleOutput->Values(KeyEndTime));
    // A text that is not a time is kept in the editor but not taken: it says so.
    MarkTimeProblems();

    // Field by field; the editor keeps showing what the user typed.
    for (int subItem : {siOutputName, siOutputExt, siClipLength, siClipStart, siClipEnd})
        WriteItemData(index, subItem, rec);
}

bool TMainForm::GuardOutputEditing()
{
    if (vleOutput->Values(KeyNewFilename).isEmpty()) {
        // No row is loaded: explain instead of opening a cell.
        QWidget *under = QApplication::widgetAt(QCursor::pos());
        if (!under || (under != vleOutput && !vleOutput->isAncestorOf(under)))
            under = vleOutput->viewport();
        ShowBalloonTip(under, 1, QStringLiteral("Tip:"), QStringLiteral("Please select a file in Task List."));
        return false;
    }
    RepaintEditors();
    return true;
}
