#include "profiles/ValueListDelegate.h"

#include "app/Theme.h"
#include "profiles/ValueListEditor.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QStyleOptionComboBox>

// --- TPickListBox -----------------------------------------------------------

TPickListBox::TPickListBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setFrame(false);
}

void TPickListBox::ShowValue(const QString &value)
{
    const int at = findText(value, Qt::MatchFixedString); // exact, ignoring case
    if (at >= 0) {
        setCurrentIndex(at);
        setPlaceholderText(QString());
    } else {
        // A text written by code that is not one of the captions still shows.
        setPlaceholderText(value);
        setCurrentIndex(-1);
    }
}

bool TPickListBox::OnArrow(const QPoint &pos) const
{
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    return style()->hitTestComplexControl(QStyle::CC_ComboBox, &opt, pos, this)
           == QStyle::SC_ComboBoxArrow;
}

void TPickListBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !OnArrow(event->position().toPoint())) {
        event->accept();
        return;
    }
    QComboBox::mousePressEvent(event);
}

void TPickListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !OnArrow(event->position().toPoint())) {
        event->accept();
        emit NextRequested();
        return;
    }
    QComboBox::mouseDoubleClickEvent(event);
}

void TPickListBox::keyPressEvent(QKeyEvent *event)
{
    // Up and Down move between the rows of the grid; Alt+Down or F4 drops
    // the list down.
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (!(event->modifiers() & Qt::AltModifier)) {
            event->ignore();
            return;
        }
        break;
    default:
        break;
    }
    QComboBox::keyPressEvent(event);
}

// --- TValueListDelegate -----------------------------------------------------

TValueListDelegate::TValueListDelegate(TValueListEditor *view)
    : QStyledItemDelegate(view), m_view(view)
{
}

namespace {

void DrawCellText(QPainter *painter, const QStyleOptionViewItem &option, const QString &text,
                  const QColor &colour)
{
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(colour);
    painter->drawText(option.rect.adjusted(2, 0, -2, 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

} // namespace

void TValueListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QPalette &pal = option.palette;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Enabled) ? QPalette::Active : QPalette::Disabled;
    const QModelIndex current = m_view->currentIndex();
    const bool currentRow = current.isValid() && current.row() == index.row();
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect r = option.rect;

    painter->save();
    if (index.column() == 0) {
        QColor back, fore;
        if (currentRow && m_view->HasFocusWithin()) {
            back = FocusKeyColour(pal);
            fore = FocusKeyTextColour(pal);
        } else if (currentRow) {
            back = pal.color(group, QPalette::Base);
            fore = pal.color(group, QPalette::Text);
        } else {
            back = pal.color(group, QPalette::Button);
            fore = pal.color(group, QPalette::ButtonText);
        }
        painter->fillRect(r, back);
        if (!currentRow) {
            // The raised edge of a fixed cell; the grid line gives the other.
            painter->setPen(pal.color(group, QPalette::Light));
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.topLeft(), r.bottomLeft());
        }
        DrawCellText(painter, option, text, fore);
    } else {
        // Never a selection colour here: the current value looks like any other.
        const int row = index.row();
        const bool silver = m_view->GetEditStyle(row) != TValueListEditor::esPickList
                            && m_view->IsReadOnly(row);
        QColor colour = silver ? ReadOnlyTextColour(pal) : pal.color(group, QPalette::Text);
        if (!m_view->ValueProblem(row).isEmpty())
            colour = ErrorTextColour(pal);
        painter->fillRect(r, pal.color(group, QPalette::Base));
        DrawCellText(painter, option, text, colour);
    }
    painter->restore();
}

QWidget *TValueListDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                          const QModelIndex &index) const
{
    if (index.column() != 1)
        return nullptr;
    const int row = index.row();
    auto *self = const_cast<TValueListDelegate *>(this);
    if (m_view->GetEditStyle(row) == TValueListEditor::esPickList) {
        auto *box = new TPickListBox(parent);
        box->setAccessibleName(m_view->Key(row));
        box->addItems(m_view->PickList(row));
        const QPersistentModelIndex where(index);
        // Choosing a caption is final at once; the box stays open on the cell.
        connect(box, &QComboBox::activated, self, [self, box] { emit self->commitData(box); });
        connect(box, &TPickListBox::NextRequested, self, [self, where] {
            if (where.isValid())
                emit self->NextRequested(where.row());
        });
        return box;
    }
    if (m_view->IsReadOnly(row))
        return nullptr;
    auto *edit = new QLineEdit(parent);
    edit->setAccessibleName(m_view->Key(row));
    edit->setFrame(false);
    return edit;
}

void TValueListDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    if (auto *box = qobject_cast<TPickListBox *>(editor))
        box->ShowValue(text);
    else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        if (edit->text() != text)
            edit->setText(text);
    }
}

void TValueListDelegate::setModelData(QWidget *editor, QAbstractItemModel *,
                                      const QModelIndex &index) const
{
    auto *self = const_cast<TValueListDelegate *>(this);
    if (auto *box = qobject_cast<TPickListBox *>(editor)) {
        if (box->currentIndex() >= 0) // nothing chosen: keep the text as it is
            emit self->ValueEdited(index.row(), box->currentText());
    } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        emit self->ValueEdited(index.row(), edit->text());
    }
}

void TValueListDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                              const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}
