#pragma once
// Small pieces that make the windows usable from the keyboard and through
// assistive technology.

class QAbstractItemView;
class QWidget;

// Tells assistive technology about every shown cell whose text changes, so a
// screen reader reads the current value (a row's status during a run, the
// output options of the row just selected).
void ReportCellChanges(QAbstractItemView *view);

// Shift+F10 in window opens the popup menu of the control with the focus, as
// the Menu key does (for a list, at its current row).
void InstallContextMenuKey(QWidget *window);
