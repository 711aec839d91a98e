#pragma once
// Cell drawing and cell editors of TValueListEditor: button-face key cells,
// no selection colour, silver read-only texts (colours of app/Theme), a line
// editor for free texts and a drop-down list for pick-list rows, each named
// after its parameter.

#include <QColor>
#include <QComboBox>
#include <QStyledItemDelegate>

class TValueListEditor;

// The drop-down of a pick-list cell. Only its arrow drops the list down: a
// click on the text does nothing, so that the second click of a double click
// steps to the next caption instead of opening the list.
class TPickListBox : public QComboBox {
    Q_OBJECT
public:
    explicit TPickListBox(QWidget *parent = nullptr);
    // Selects the caption equal to value ignoring case; a text that is not in
    // the list is shown without selecting any caption.
    void ShowValue(const QString &value);

signals:
    void NextRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool OnArrow(const QPoint &pos) const;
};

class TValueListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TValueListDelegate(TValueListEditor *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    // Hands the edited text to the grid (ValueEdited) instead of writing the
    // model, so that the grid alone decides about its change signals.
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

signals:
    void ValueEdited(int row, const QString &value);
    // A double click on the open drop-down of a pick-list row.
    void NextRequested(int row);

private:
    TValueListEditor *m_view;
};
