#include "app/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QShortcut>
#include <QTreeView>

namespace {

// A change of more rows than this (a move of a whole list) is not read out cell by cell.
constexpr int MaxReportedRows = 64;

} // namespace

void ReportCellChanges(QAbstractItemView *view)
{
    QObject::connect(view->model(), &QAbstractItemModel::dataChanged, view,
                     [view](const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) {
                         if (!QAccessible::isActive() || topLeft.parent().isValid())
                             return;
                         if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole))
                             return;
                         QAccessibleInterface *face = QAccessible::queryAccessibleInterface(view);
                         QAccessibleTableInterface *table = face ? face->tableInterface() : nullptr;
                         if (!table)
                             return;
                         const auto *tree = qobject_cast<const QTreeView *>(view);
                         const int last = qMin(bottomRight.row(), topLeft.row() + MaxReportedRows - 1);
                         for (int row = topLeft.row(); row <= last; ++row) {
                             for (int column = topLeft.column(); column <= bottomRight.column(); ++column) {
                                 if (tree && tree->isColumnHidden(column))
                                     continue;
                                 if (QAccessibleInterface *cell = table->cellAt(row, column)) {
                                     QAccessibleEvent event(cell, QAccessible::NameChanged);
                                     QAccessible::updateAccessibility(&event);
                                 }
                             }
                         }
                     });
}

void InstallContextMenuKey(QWidget *window)
{
    auto *key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), window);
    QObject::connect(key, &QShortcut::activated, window, [window] {
        QWidget *target = QApplication::focusWidget();
        if (!target || target->window() != window)
            return;
        QPoint pos = target->rect().center();
        if (auto *view = qobject_cast<QAbstractItemView *>(target)) {
            // A list's menu is given viewport positions, as for a mouse click.
            const QRect row = view->visualRect(view->currentIndex());
            pos = row.isValid() ? row.center() : view->viewport()->rect().center();
            QContextMenuEvent event(QContextMenuEvent::Keyboard, pos, view->viewport()->mapToGlobal(pos));
            QCoreApplication::sendEvent(view, &event);
            return;
        }
        QContextMenuEvent event(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos));
        QCoreApplication::sendEvent(target, &event);
    });
}
