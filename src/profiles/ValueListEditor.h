#pragma once
// A two-column key/value grid: fixed key cells on the left, editable texts on
// the right. Rows carry a read-only flag, an edit style and a pick list.
// Used for the per-file output options and for the profile parameter groups
// of the main window and the settings dialog.

#include <QStringList>
#include <QTableWidget>
#include <functional>

class TValueListDelegate;

class TValueListEditor : public QTableWidget {
    Q_OBJECT
public:
    enum EditStyle { esSimple, esPickList };
    // Rows are max(17, font height + 4) pixels high.
    static constexpr int DefaultRowHeight = 17;
    int RowHeight() const;

    explicit TValueListEditor(QWidget *parent = nullptr);

    // Rows
    int RowCount() const { return rowCount(); }
    int AppendRow(const QString &key, const QString &value); // index of the new row
    void DeleteRow(int row);
    void ClearRows();                                         // from the last to the first
    QString Key(int row) const;
    QString Value(int row) const;
    void SetValue(int row, const QString &value);             // emits ContentChanged when it differs
    int FindRow(const QString &key) const;                    // ignoring case, -1 when absent
    QString Values(const QString &key) const;                 // "" when there is no such row
    void SetValues(const QString &key, const QString &value); // nothing when there is no such row

    void SetReadOnly(int row, bool readOnly);
    bool IsReadOnly(int row) const;
    void SetEditStyle(int row, EditStyle style);
    EditStyle GetEditStyle(int row) const;
    void SetPickList(int row, const QStringList &items);
    QStringList PickList(int row) const;
    // A value that was not taken: shown in the error colour with problem as
    // its tooltip ("" clears it).
    void SetValueProblem(int row, const QString &problem);
    QString ValueProblem(int row) const;

    // Geometry
    void SetColumnWidths(int keyWidth, int valueWidth);
    int KeyColumnWidth() const;
    // rows x (row height + 1) + extra
    int RowsHeight(int extra = 0) const;

    // Called on every mouse press on the grid before anything else; when it
    // returns false the press opens no cell and ends any editing.
    void SetMousePressGuard(std::function<bool()> guard) { m_guard = std::move(guard); }

    // True while the grid or its open cell editor holds the input focus.
    bool HasFocusWithin() const;
    // Typing never jumps between rows.
    void keyboardSearch(const QString &) override {}

protected slots:
    // A current cell set from code (rows being filled) is no focus move for
    // assistive technology; only one the user moves to is.
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    // Tab and Shift+Tab in a cell editor commit it and leave the grid.
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

signals:
    // Any change of a value, by the user or by code.
    void ContentChanged();
    // The user left an edited cell whose text changed (moving to another cell
    // or moving the focus away, or Enter).
    void ValueValidated(int row);
    // A mouse button was pressed on the grid.
    void MousePressed();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    // Typing into a cell asks the same guard as a mouse press.
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    // Keeps the current cell in the value column.
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

private:
    bool AcceptPress();
    void PressCell(const QModelIndex &index, Qt::MouseButton button);
    void StoreValue(int row, const QString &value, bool byUser);
    void CycleValue(int row);
    void CloseOpenEditor();
    void UpdateRowFlags(int row);
    void FitValueColumn();
    bool NearBoundary(int x) const;

    TValueListDelegate *m_delegate = nullptr;
    std::function<bool()> m_guard;
    int m_dragStartX = -1;
    int m_dragStartWidth = 0;
    Qt::FocusPolicy m_focusPolicy = Qt::StrongFocus;
};
