#include "profiles/GroupHeader.h"

#include "app/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The strip paints its own bar and caption in the colours of the palette in
// force, so it follows a change between light and dark.
class TGroupHeader : public QLabel {
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override { return QSize(0, StripHeight()); }
    QSize sizeHint() const override { return QSize(QLabel::sizeHint().width(), StripHeight()); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), GroupHeaderColour(palette()));
        painter.setPen(GroupHeaderTextColour(palette()));
        painter.setFont(font());
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }

private:
    // 18 pixels as designed, higher for a font that needs it.
    int StripHeight() const { return qMax(18, fontMetrics().height() + 4); }
};

} // namespace

QLabel *MakeGroupHeader(const QString &name, const QString &caption, QPushButton *&button)
{
    auto *header = new TGroupHeader(caption);
    header->setObjectName(name);
    header->setAccessibleName(caption.trimmed());
    header->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    button = new QPushButton("-", header);
    button->setObjectName("btn" + name.mid(3));
    button->setAccessibleName("Collapse " + caption.trimmed());
    button->setGeometry(5, 3, 12, 12);
    // Inside a dialog, Enter must press OK, not a group button.
    button->setAutoDefault(false);
    QFont big = button->font();
    big.setBold(true);
    big.setPixelSize(16);
    button->setFont(big);
    button->setStyleSheet("QPushButton { padding: 0px; margin: 0px; border: 1px solid gray; "
                          "background: palette(button); line-height: 10px; font-weight: bold; font-size: 16px; }");
    return header;
}

QWidget *MakeGroupStack()
{
    auto *content = new QWidget;
    content->setObjectName("sbxProfileContent");
    content->setAutoFillBackground(true);
    content->setBackgroundRole(QPalette::Base);
    auto *stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    return content;
}
