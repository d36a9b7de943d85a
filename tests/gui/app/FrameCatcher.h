#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <string>
#include <vector>

#include "server/Frame.h"

// A loopback stand-in for the data server on the UI thread's event loop: it keeps the bytes
// of the one connection it accepts, so a test can read the frame the launcher sent and then
// answer it.
class FrameCatcher {
  public:
    FrameCatcher() {
        listening_ = server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            peer_ = server_.nextPendingConnection();
            QObject::connect(peer_, &QTcpSocket::readyRead,
                             [this] { received_ += peer_->readAll().toStdString(); });
        });
    }

    bool Listening() const { return listening_; }
    // launcher.ini pointing the launcher at this server.
    std::string LauncherIni() const {
        return "[server]\nhost=127.0.0.1\nport=" + std::to_string(server_.serverPort()) + "\n";
    }
    // True once a whole frame has arrived.
    bool HasFrame() const { return received_.find(server::kEndMark) != std::string::npos; }
    const std::string& Received() const { return received_; }
    std::vector<std::string> Fields() const {
        return server::SplitFields(server::DecodeReply(received_), server::kFieldSeparator);
    }
    // Answers with a few bytes and closes, as the data server does.
    void Answer() {
        peer_->write("ok", 3);
        peer_->disconnectFromHost();
    }
    bool Closed() const {
        return peer_ == nullptr || peer_->state() == QAbstractSocket::UnconnectedState;
    }

  private:
    QTcpServer server_;
    QTcpSocket* peer_ = nullptr;
    std::string received_;
    bool listening_ = false;
};
