#include "profiles/ValueListEditor.h"

#include "profiles/ValueListDelegate.h"

#include "app/Accessibility.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

namespace {

// Row attributes live on the value cell.
constexpr int ReadOnlyRole = Qt::UserRole;
constexpr int EditStyleRole = Qt::UserRole + 1;
constexpr int PickListRole = Qt::UserRole + 2;
constexpr int ProblemRole = Qt::UserRole + 3;

constexpr int KeyColumn = 0;
constexpr int ValueColumn = 1;

// Half the width of the strip around the column boundary that drags it.
constexpr int BoundaryGrip = 3;
// Neither column can be dragged narrower than this.
constexpr int MinColumnWidth = 8;

} // namespace

TValueListEditor::TValueListEditor(QWidget *parent) : QTableWidget(0, 2, parent)
{
    m_delegate = new TValueListDelegate(this);
    setItemDelegate(m_delegate);
    connect(m_delegate, &TValueListDelegate::ValueEdited, this,
            [this](int row, const QString &value) { StoreValue(row, value, true); });
    connect(m_delegate, &TValueListDelegate::NextRequested, this, [this](int row) {
        if (AcceptPress())
            CycleValue(row);
    });

    horizontalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(RowHeight());
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    setFrameShape(QFrame::NoFrame);
    // The owner sizes the grid to its rows; a collapsed group is one pixel high.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    // A click on a value cell opens it too (see mousePressEvent).
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    setShowGrid(true);
    setColumnWidth(KeyColumn, 95);
    setColumnWidth(ValueColumn, 68);
    // Not shown, but read by assistive technology for every cell.
    setHorizontalHeaderLabels({QStringLiteral("Parameter"), QStringLiteral("Value")});
    viewport()->setMouseTracking(true);
    m_focusPolicy = focusPolicy();
    ReportCellChanges(this);

    // The grid's window colour is its cell colour, as in the editors it
    // stands for, so "window-coloured" cells match the other value cells.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);

    // The current key cell shows whether the grid or its cell editor has the
    // focus; the grid is not told when the focus moves between the two.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        for (QWidget *w : {old, now})
            for (QWidget *p = w; p; p = p->parentWidget())
                if (p == this) {
                    viewport()->update();
                    return;
                }
    });
}

// --- Rows -------------------------------------------------------------------

int TValueListEditor::AppendRow(const QString &key, const QString &value)
{
    const int row = rowCount();
    insertRow(row);
    auto *keyItem = new QTableWidgetItem(key);
    keyItem->setFlags(Qt::ItemIsEnabled);
    setItem(row, KeyColumn, keyItem);
    auto *valueItem = new QTableWidgetItem(value);
    valueItem->setData(ReadOnlyRole, false);
    valueItem->setData(EditStyleRole, int(esSimple));
    valueItem->setData(PickListRole, QStringList());
    setItem(row, ValueColumn, valueItem);
    UpdateRowFlags(row);
    // Like any grid, the editor always has a current row once it has rows.
    if (!currentIndex().isValid())
        selectionModel()->setCurrentIndex(model()->index(row, ValueColumn),
                                          QItemSelectionModel::NoUpdate);
    emit ContentChanged();
    return row;
}

void TValueListEditor::DeleteRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    removeRow(row);
    emit ContentChanged();
}

void TValueListEditor::ClearRows()
{
    for (int row = rowCount() - 1; row >= 0; --row)
        DeleteRow(row);
}

QString TValueListEditor::Key(int row) const
{
    const QTableWidgetItem *it = item(row, KeyColumn);
    return it ? it->text() : QString();
}

QString TValueListEditor::Value(int row) const
{
    const QTableWidgetItem *it = item(row, ValueColumn);
    return it ? it->text() : QString();
}

void TValueListEditor::SetValue(int row, const QString &value)
{
    StoreValue(row, value, false);
}

int TValueListEditor::FindRow(const QString &key) const
{
    for (int row = 0; row < rowCount(); ++row)
        if (QString::compare(Key(row), key, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

QString TValueListEditor::Values(const QString &key) const
{
    const int row = FindRow(key);
    return row < 0 ? QString() : Value(row);
}

void TValueListEditor::SetValues(const QString &key, const QString &value)
{
    const int row = FindRow(key);
    if (row >= 0)
        SetValue(row, value);
}

void TValueListEditor::SetReadOnly(int row, bool readOnly)
{
    if (QTableWidgetItem *it = item(row, ValueColumn)) {
        it->setData(ReadOnlyRole, readOnly);
        UpdateRowFlags(row);
    }
}

bool TValueListEditor::IsReadOnly(int row) const
{
    const QTableWidgetItem *it = item(row, ValueColumn);
    return it && it->data(ReadOnlyRole).toBool();
}

void TValueListEditor::SetEditStyle(int row, EditStyle style)
{
    if (QTableWidgetItem *it = item(row, ValueColumn)) {
        it->setData(EditStyleRole, int(style));
        UpdateRowFlags(row);
    }
}

TValueListEditor::EditStyle TValueListEditor::GetEditStyle(int row) const
{
    const QTableWidgetItem *it = item(row, ValueColumn);
    return it && it->data(EditStyleRole).toInt() == esPickList ? esPickList : esSimple;
}

void TValueListEditor::SetPickList(int row, const QStringList &items)
{
    if (QTableWidgetItem *it = item(row, ValueColumn))
        it->setData(PickListRole, items);
}

void TValueListEditor::SetValueProblem(int row, const QString &problem)
{
    QTableWidgetItem *it = item(row, ValueColumn);
    if (!it || it->data(ProblemRole).toString() == problem)
        return;
    it->setData(ProblemRole, problem);
    it->setToolTip(problem);
    it->setData(Qt::AccessibleDescriptionRole, problem);
}

QString TValueListEditor::ValueProblem(int row) const
{
    const QTableWidgetItem *it = item(row, ValueColumn);
    return it ? it->data(ProblemRole).toString() : QString();
}

QStringList TValueListEditor::PickList(int row) const
{
    const QTableWidgetItem *it = item(row, ValueColumn);
    return it ? it->data(PickListRole).toStringList() : QStringList();
}

void TValueListEditor::UpdateRowFlags(int row)
{
    QTableWidgetItem *it = item(row, ValueColumn);
    if (!it)
        return;
    // A pick-list row is only ever chosen from its list, so its read-only
    // flag does not stop the choice; a read-only free text cannot be edited.
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (GetEditStyle(row) == esPickList || !IsReadOnly(row))
        flags |= Qt::ItemIsEditable;
    it->setFlags(flags);
}

void TValueListEditor::StoreValue(int row, const QString &value, bool byUser)
{
    QTableWidgetItem *it = item(row, ValueColumn);
    if (!it || it->text() == value)
        return;
    // The view hands the new text to an open editor on the cell as well, so
    // leaving that editor later does not write the old text back.
    it->setText(value);
    emit ContentChanged();
    if (byUser)
        emit ValueValidated(row);
}

void TValueListEditor::CycleValue(int row)
{
    if (GetEditStyle(row) != esPickList)
        return;
    const QStringList items = PickList(row);
    if (items.isEmpty())
        return;
    const QString value = Value(row);
    int at = -1;
    for (int i = 0; i < items.size() && at < 0; ++i)
        if (QString::compare(items.at(i), value, Qt::CaseInsensitive) == 0)
            at = i;
    // After the last caption (or from a text not in the list) comes the first.
    StoreValue(row, items.at((at + 1) % items.size()), true);
}

// --- Geometry ---------------------------------------------------------------

void TValueListEditor::SetColumnWidths(int keyWidth, int valueWidth)
{
    setColumnWidth(KeyColumn, qMax(0, keyWidth));
    setColumnWidth(ValueColumn, qMax(0, valueWidth));
    // Once laid out, the value column takes whatever width the key leaves.
    if (isVisible())
        FitValueColumn();
}

int TValueListEditor::KeyColumnWidth() const
{
    return columnWidth(KeyColumn);
}

int TValueListEditor::RowHeight() const
{
    return qMax(DefaultRowHeight, fontMetrics().height() + 4);
}

int TValueListEditor::RowsHeight(int extra) const
{
    return rowCount() * (RowHeight() + 1) + extra;
}

void TValueListEditor::FitValueColumn()
{
    setColumnWidth(ValueColumn, qMax(0, viewport()->width() - columnWidth(KeyColumn)));
}

bool TValueListEditor::NearBoundary(int x) const
{
    const int boundary = columnViewportPosition(KeyColumn) + columnWidth(KeyColumn);
    return x >= boundary - BoundaryGrip && x < boundary + BoundaryGrip;
}

void TValueListEditor::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    FitValueColumn();
    // A collapsed group (one pixel high) is no Tab stop.
    const bool collapsed = height() <= 1;
    setFocusPolicy(collapsed ? Qt::NoFocus : m_focusPolicy);
    if (collapsed && HasFocusWithin())
        focusNextChild();
}

void TValueListEditor::changeEvent(QEvent *event)
{
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        // Still the cell colour after a change between light and dark.
        QPalette pal = palette();
        if (pal.color(QPalette::Window) != pal.color(QPalette::Base)) {
            pal.setColor(QPalette::Window, pal.color(QPalette::Base));
            setPalette(pal);
        }
        return;
    }
    if (event->type() != QEvent::FontChange)
        return;
    // Rows follow the font; a grid sized to its rows stays sized to them.
    const int extra = height() - rowCount() * (verticalHeader()->defaultSectionSize() + 1);
    verticalHeader()->setDefaultSectionSize(RowHeight());
    for (int row = 0; row < rowCount(); ++row)
        setRowHeight(row, RowHeight());
    if (height() > 1 && rowCount() > 0 && extra >= 0 && extra <= 1 && minimumHeight() == maximumHeight())
        setFixedHeight(RowsHeight(extra));
}

// --- Focus ------------------------------------------------------------------

bool TValueListEditor::HasFocusWithin() const
{
    // Walks through window boundaries too: the drop-down's list is a popup
    // window of the cell editor.
    for (const QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (w == this)
            return true;
    return false;
}

void TValueListEditor::focusInEvent(QFocusEvent *event)
{
    QTableWidget::focusInEvent(event);
    viewport()->update();
}

void TValueListEditor::focusOutEvent(QFocusEvent *event)
{
    QTableWidget::focusOutEvent(event);
    viewport()->update();
}

void TValueListEditor::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (HasFocusWithin())
        QTableWidget::currentChanged(current, previous);
    else
        QAbstractItemView::currentChanged(current, previous);
}

void TValueListEditor::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (hint != QAbstractItemDelegate::EditNextItem && hint != QAbstractItemDelegate::EditPreviousItem) {
        QTableWidget::closeEditor(editor, hint);
        return;
    }
    // The delegate has committed the text; the focus goes back to the grid
    // and on to the next control.
    QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
}

bool TValueListEditor::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if ((trigger == EditKeyPressed || trigger == AnyKeyPressed) && (editTriggers() & trigger)
        && index.isValid() && (index.flags() & Qt::ItemIsEditable) && state() != EditingState) {
        const auto *key = event && event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event) : nullptr;
        const bool typing = trigger == EditKeyPressed
                            || (key && !key->text().isEmpty() && key->text().at(0).isPrint());
        if (typing && m_guard && !m_guard())
            return false;
    }
    return QTableWidget::edit(index, trigger, event);
}

QModelIndex TValueListEditor::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    const int rows = rowCount();
    if (rows == 0)
        return QModelIndex();
    // Next and previous go by rows, since the key cells are never current.
    if (current.isValid() && cursorAction == MoveNext)
        return model()->index((current.row() + 1) % rows, ValueColumn);
    if (current.isValid() && cursorAction == MovePrevious)
        return model()->index((current.row() + rows - 1) % rows, ValueColumn);
    const QModelIndex target = QTableWidget::moveCursor(cursorAction, modifiers);
    if (!target.isValid())
        return target;
    return model()->index(target.row(), ValueColumn);
}

// --- Mouse ------------------------------------------------------------------

bool TValueListEditor::AcceptPress()
{
    const bool allowed = !m_guard || m_guard();
    emit MousePressed();
    if (!allowed) {
        m_dragStartX = -1;
        CloseOpenEditor();
    }
    return allowed;
}

void TValueListEditor::CloseOpenEditor()
{
    // Only the current cell ever has an editor: moving away closes it.
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    if (QWidget *editor = indexWidget(current)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TValueListEditor::PressCell(const QModelIndex &index, Qt::MouseButton button)
{
    if (!index.isValid())
        return;
    // A press anywhere in a row makes its value cell current; leaving the
    // previous cell commits its editor.
    const QModelIndex target = model()->index(index.row(), ValueColumn);
    if (currentIndex() != target)
        setCurrentIndex(target);
    if (!HasFocusWithin() && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
    if (button == Qt::LeftButton && index.column() == ValueColumn
        && (target.flags() & Qt::ItemIsEditable) && state() != EditingState)
        QAbstractItemView::edit(target, QAbstractItemView::AllEditTriggers, nullptr);
}

void TValueListEditor::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (!AcceptPress())
        return;
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && NearBoundary(pos.x())) {
        m_dragStartX = pos.x();
        m_dragStartWidth = columnWidth(KeyColumn);
        return;
    }
    PressCell(indexAt(pos), event->button());
}

void TValueListEditor::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click arrives here instead of as a press.
    event->accept();
    if (!AcceptPress())
        return;
    const QPoint pos = event->position().toPoint();
    if (NearBoundary(pos.x()))
        return;
    const QModelIndex index = indexAt(pos);
    PressCell(index, event->button());
    if (index.isValid() && index.column() == ValueColumn && event->button() == Qt::LeftButton)
        CycleValue(index.row());
}

void TValueListEditor::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_dragStartX >= 0 && !(event->buttons() & Qt::LeftButton))
        m_dragStartX = -1; // the release went elsewhere
    if (m_dragStartX >= 0) {
        int width = m_dragStartWidth + pos.x() - m_dragStartX;
        width = qMin(width, viewport()->width() - MinColumnWidth);
        width = qMax(width, MinColumnWidth);
        setColumnWidth(KeyColumn, width);
        FitValueColumn();
        event->accept();
        return;
    }
    if (event->buttons() != Qt::NoButton) {
        // No dragging of the current cell across the grid.
        event->accept();
        return;
    }
    if (NearBoundary(pos.x()))
        viewport()->setCursor(Qt::SplitHCursor);
    else
        viewport()->unsetCursor();
    QTableWidget::mouseMoveEvent(event);
}

void TValueListEditor::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (m_dragStartX >= 0 && event->button() == Qt::LeftButton) {
        m_dragStartX = -1;
        if (!NearBoundary(event->position().toPoint().x()))
            viewport()->unsetCursor();
    }
}
