#pragma once
// Draws a running row's Status cell with what the run has to say about it
// ("Converting 45%", "Paused") while the row itself keeps its stored status:
// the drawn text is never written into the row, nor kept with the list.

#include <QHash>
#include <QStyledItemDelegate>

class TRunStatusDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // "" draws the row's own text again.
    void SetText(int row, const QString &text);
    void Clear();
    QString Text(int row) const { return m_texts.value(row); }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    QHash<int, QString> m_texts;
};
