#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtGlobal>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace app {
namespace {

constexpr char kShowCommand[] = "show\n";

// The instance lock's name: on Windows a mutex of the session, elsewhere a file beside the
// local socket.
QString LockPathFor(const QString& name) {
#ifdef _WIN32
    return name;
#else
    return name + QStringLiteral(".lock");
#endif
}

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)), lock_(LockPathFor(name_).toStdString()) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName() {
#ifdef _WIN32
    return QStringLiteral("Ravik_desk-") + qEnvironmentVariable("USERNAME");
#else
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        return QDir(runtime).filePath(QStringLiteral("Ravik_desk"));
    }
    return QDir::temp().filePath(QStringLiteral("Ravik_desk-") + QString::number(getuid()));
#endif
}

bool SingleInstance::Acquire() {
    return lock_.TryAcquire();
}

bool SingleInstance::Listen() {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket left behind is from a copy that died.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) {
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                // A peer that talks without ending its line is not a copy of ours.
                if (socket->bytesAvailable() > 64) {
                    socket->abort();
                }
                return;
            }
            const QByteArray line = socket->readLine(64);
            if (line == kShowCommand) {
                emit showRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::AskRunningInstanceToShow(int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kShowCommand);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    return true;
}

}  // namespace app
