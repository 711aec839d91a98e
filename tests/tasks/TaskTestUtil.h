#pragma once
// Small helpers shared by the task list tests: reading the rows back,
// selecting and clicking rows, and the output editor's three values.

#include "app/MainForm.h"
#include "profiles/ValueListEditor.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QList>
#include <QStringList>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace tasktest {

inline QStringList Captions(const TMainForm *form)
{
    QStringList result;
    for (int i = 0; i < form->ltvTask->topLevelItemCount(); ++i)
        result << form->ltvTask->topLevelItem(i)->text(0);
    return result;
}

inline QList<int> SelectedRows(const TMainForm *form)
{
    QList<int> result;
    for (int i = 0; i < form->ltvTask->topLevelItemCount(); ++i)
        if (form->ltvTask->topLevelItem(i)->isSelected())
            result << i;
    return result;
}

// Selects exactly the given rows (as a Ctrl+click would, without the click).
inline void SelectRows(TMainForm *form, const QList<int> &rows)
{
    form->ltvTask->clearSelection();
    for (int r : rows)
        form->ltvTask->topLevelItem(r)->setSelected(true);
}

// A real left click on a row of the list.
inline void ClickRow(TMainForm *form, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTreeWidget *list = form->ltvTask;
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
}

inline ltvItemData Row(const TMainForm *form, int row)
{
    ltvItemData rec;
    form->ReadItemData(row, sdAll, rec);
    return rec;
}

inline QString NewFilename(const TMainForm *form) { return form->vleOutput->Values("New Filename"); }
inline QString StartTime(const TMainForm *form) { return form->vleOutput->Values("Start Time"); }
inline QString EndTime(const TMainForm *form) { return form->vleOutput->Values("End Time"); }

// Whether the five buttons that follow the list are all enabled (1), all
// disabled (0), or mixed (-1).
inline int ListButtonsState(const TMainForm *form)
{
    int enabled = 0;
    const QList<QToolButton *> buttons{form->tbtnUp, form->tbtnDown, form->tbtnRemove, form->tbtnClear,
                                       form->tbtnStart};
    for (QToolButton *b : buttons)
        enabled += b->isEnabled() ? 1 : 0;
    return enabled == 5 ? 1 : (enabled == 0 ? 0 : -1);
}

inline bool Touch(const QString &path, const QByteArray &content = QByteArray())
{
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(content);
    return true;
}

} // namespace tasktest
