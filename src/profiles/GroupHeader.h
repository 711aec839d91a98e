#pragma once
// The bold header strip above a parameter group, with its 12 x 12 "-"/"+"
// button. Shared by the main window and the settings dialog.

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

QLabel *MakeGroupHeader(const QString &name, const QString &caption, QPushButton *&button);

// The window-coloured content of the scrolling parameter pane: headers and
// editors stacked without gaps in its QVBoxLayout.
QWidget *MakeGroupStack();
