#pragma once
// Names a control once: its objectName (which tests find it by) and, where
// the control shows no text of its own, the name assistive technology reads.
// A control without one is read by its own text, never its object name.

#include <QLatin1String>
#include <QString>

template <typename T> T *Named(T *widget, const char *name, const QString &accessible = QString())
{
    widget->setObjectName(QLatin1String(name));
    if (!accessible.isEmpty())
        widget->setAccessibleName(accessible);
    return widget;
}
