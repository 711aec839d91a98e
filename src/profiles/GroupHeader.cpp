#include "profiles/GroupHeader.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QLabel *MakeGroupHeader(const QString &name, const QString &caption, QPushButton *&button)
{
    auto *header = new QLabel(caption);
    header->setObjectName(name);
    header->setAccessibleName(caption.trimmed());
    header->setFixedHeight(18);
    header->setAutoFillBackground(true);
    QPalette pal = header->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Dark));
    pal.setColor(QPalette::WindowText, Qt::black);
    header->setPalette(pal);
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
    QPalette pal = content->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    content->setPalette(pal);
    auto *stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    return content;
}
