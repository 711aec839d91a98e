#include "tasks/TaskListView.h"

#include "app/Theme.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>

TTaskListView::TTaskListView(QWidget *parent) : QTreeWidget(parent)
{
    ApplyHeaderLook();
    QAbstractItemModel *rows = model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &TTaskListView::FollowRowCount);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &TTaskListView::FollowRowCount);
    connect(rows, &QAbstractItemModel::modelReset, this, &TTaskListView::FollowRowCount);
    FollowRowCount();
}

TTaskListView::~TTaskListView()
{
    // The rows go with the base class, after this part of the list.
    disconnect(model(), nullptr, this, nullptr);
}

QString TTaskListView::EmptyHint()
{
    return QStringLiteral("Drop videos here, or press Ctrl+O to add files");
}

void TTaskListView::ApplyHeaderLook()
{
    const QColor back = TaskHeaderColour(palette());
    const QColor text = TaskHeaderTextColour(palette());
    const QColor line = IsDarkPalette(palette()) ? palette().color(QPalette::Mid) : QColor(210, 210, 210);
    header()->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; color: %2; "
                                           "border: 0px; border-right: 1px solid %3; "
                                           "border-bottom: 1px solid %3; padding-left: 4px; }")
                                .arg(back.name(), text.name(), line.name()));
}

void TTaskListView::FollowRowCount()
{
    // Read by assistive technology as well as shown.
    const QString description = topLevelItemCount() == 0 ? EmptyHint() : QString();
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
    viewport()->update();
}

void TTaskListView::paintEvent(QPaintEvent *event)
{
    QTreeWidget::paintEvent(event);
    if (topLevelItemCount() > 0)
        return;
    QPainter painter(viewport());
    QColor colour = palette().color(QPalette::Text);
    colour.setAlphaF(0.6);
    painter.setPen(colour);
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, EmptyHint());
}

void TTaskListView::changeEvent(QEvent *event)
{
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        ApplyHeaderLook();
}
