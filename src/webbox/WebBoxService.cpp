#include "webbox/WebBoxService.h"

#include "ui/LargeWebPageBox.h"
#include "ui/SmallWebPageBox.h"
#include "ui/WebPageBoxMessage.h"
#include "ui/WindowPlacement.h"

namespace webbox {

using ui::WebPageBoxMessage;

WebBoxService::WebBoxService(std::function<void(const QByteArray&)> send)
    : send_(std::move(send)) {}

void WebBoxService::Receive(const QByteArray& line) {
    const WebPageBoxMessage message = WebPageBoxMessage::FromLine(line);
    switch (message.kind) {
        case WebPageBoxMessage::Kind::Open:
            Open(message);
            break;
        case WebPageBoxMessage::Kind::Close:
            if (auto box = boxes_.find(message.key); box != boxes_.end() && box->second) {
                box->second->close();
            }
            break;
        case WebPageBoxMessage::Kind::Invalid:
        case WebPageBoxMessage::Kind::Shown:
        case WebPageBoxMessage::Kind::Closed:
            break;
    }
}

void WebBoxService::Open(const WebPageBoxMessage& message) {
    ui::WebPageBox* box = nullptr;
    if (message.size == ui::WebPageSize::Large) {
        box = new ui::LargeWebPageBox(message.title, message.target, message.itemId,
                                      message.productUrl);
    } else {
        box = new ui::SmallWebPageBox(message.title, message.target, message.itemId,
                                      message.productUrl);
    }
    // The main window is the launcher's, in another process: the box learns its frame.
    ui::WindowPlacement::SizeAndPlaceOver(box, box->size(), message.anchor);
    const std::uint32_t key = message.key;
    boxes_[key] = box;
    connect(box, &ui::WebPageBox::webBoxClosed, this, [this, key] {
        boxes_.erase(key);
        WebPageBoxMessage closed;
        closed.kind = WebPageBoxMessage::Kind::Closed;
        closed.key = key;
        send_(closed.ToLine());
    });
    box->show();
    box->activateWindow();

    WebPageBoxMessage shown;
    shown.kind = WebPageBoxMessage::Kind::Shown;
    shown.key = key;
    shown.frame = box->frameGeometry();
    shown.page = box->PageUrl();
    send_(shown.ToLine());
}

}  // namespace webbox
