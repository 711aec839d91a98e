#include "conversion/RunStatusDelegate.h"

#include <QAbstractItemView>

void TRunStatusDelegate::SetText(int row, const QString &text)
{
    if (m_texts.value(row) == text)
        return;
    if (text.isEmpty())
        m_texts.remove(row);
    else
        m_texts.insert(row, text);
    if (auto *view = qobject_cast<QAbstractItemView *>(parent()))
        view->viewport()->update();
}

void TRunStatusDelegate::Clear()
{
    m_texts.clear();
    if (auto *view = qobject_cast<QAbstractItemView *>(parent()))
        view->viewport()->update();
}

void TRunStatusDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto text = m_texts.constFind(index.row());
    if (text != m_texts.constEnd() && !index.parent().isValid())
        option->text = *text;
}
