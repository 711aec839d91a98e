#pragma once
// The bold header strip above a parameter group, with its 12 x 12 "-"/"+"
// button. Shared by the main window and the settings dialog.

#include <QString>

class QLabel;
class QPushButton;

QLabel *MakeGroupHeader(const QString &name, const QString &caption, QPushButton *&button);
