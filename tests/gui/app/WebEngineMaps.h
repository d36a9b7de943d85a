#pragma once

#include <QFile>
#include <QString>

// Whether process `pid` has the web engine's libraries mapped (Linux: /proc/PID/maps).
inline bool MapsWebEngine(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly)) {
        return false;
    }
    return maps.readAll().contains("libQt6WebEngine");
}
