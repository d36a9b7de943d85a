#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <map>

#include "ui/WebPageBox.h"

namespace ui {
struct WebPageBoxMessage;
}

namespace webbox {

// The web box helper's side of its conversation with the launcher (ui::WebPageBoxMessage):
// it opens and closes the boxes the launcher asks for and tells it when one is on screen and
// when one has gone, however the user closed it. Used on the UI thread only.
class WebBoxService : public QObject {
    Q_OBJECT
  public:
    // `send` writes one line to the launcher.
    explicit WebBoxService(std::function<void(const QByteArray&)> send);

    // One line from the launcher.
    void Receive(const QByteArray& line);

  private:
    void Open(const ui::WebPageBoxMessage& message);

    std::function<void(const QByteArray&)> send_;
    std::map<std::uint32_t, QPointer<ui::WebPageBox>> boxes_;
};

}  // namespace webbox
