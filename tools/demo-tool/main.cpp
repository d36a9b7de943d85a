// ravik-demo-tool: the program inside every tool archive of the demo. It shows the catalog
// entry it was installed for, read from tool.json beside it, so "start after install" can be
// seen. With RAVIK_DEMO_TOOL_MARKER set it only appends "<tool id> <folder>" to that file and
// exits, for tests that check a tool was started without a display to show it on.
#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "DemoToolWindow.h"

namespace {

QJsonObject ReadEntry(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool AppendMarker(const QString& path, const QJsonObject& entry, const QString& folder) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const QByteArray line = QByteArray::number(entry.value(QStringLiteral("id")).toInteger()) +
                            ' ' + folder.toUtf8() + '\n';
    return file.write(line) == line.size();
}

}  // namespace

int main(int argc, char** argv) {
    const QByteArray marker = qgetenv("RAVIK_DEMO_TOOL_MARKER");
    if (!marker.isEmpty()) {
        QCoreApplication core(argc, argv);
        const QString folder = QCoreApplication::applicationDirPath();
        const QJsonObject entry = ReadEntry(folder + QStringLiteral("/tool.json"));
        return AppendMarker(QString::fromLocal8Bit(marker), entry, folder) ? 0 : 1;
    }
    QApplication app(argc, argv);
    const QString folder = QCoreApplication::applicationDirPath();
    DemoToolWindow window(ReadEntry(folder + QStringLiteral("/tool.json")), folder);
    window.show();
    return app.exec();
}
