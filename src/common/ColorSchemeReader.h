#pragma once
// Reads the desktop's colour scheme from the XDG desktop portal's settings
// and follows its changes, without ever waiting for the portal.

#include "common/Platform.h"

#include <QObject>

class QDBusVariant;

class TColorSchemeReader : public QObject {
    Q_OBJECT
public:
    void Watch(std::function<void(Platform::ColorScheme)> report);

private slots:
    void SettingChanged(const QString &space, const QString &key, const QDBusVariant &value);

private:
    static const QString Namespace, Key;
    std::function<void(Platform::ColorScheme)> m_report;
    bool m_connected = false;
};
