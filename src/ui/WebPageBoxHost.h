#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <vector>

#include "ui/WebPages.h"

class QProcess;

namespace ui {

struct WebPageBoxMessage;

// The launcher's side of its web page boxes. The boxes, and with them the web engine, live
// in a helper program (ravik-webbox beside the launcher) that is started when a box opens
// and ends when the last box has closed. The launcher sits in the tray all day: a web engine
// in its own process costs nothing until a box opens and gives all its memory back when the
// boxes are closed, which a library loaded into the launcher could not (Qt's web engine
// cannot be unloaded once started), and a page that crashes the engine takes only its boxes
// along. If the helper cannot be started, the page opens in the default browser instead.
// Used on the UI thread only.
class WebPageBoxHost : public QObject {
    Q_OBJECT
  public:
    // A box as the launcher knows it.
    struct Box {
        std::uint32_t key = 0;
        WebPageSize size = WebPageSize::Small;
        std::uint32_t itemId = 0;
        QString title;
        QString target;
        QString productUrl;
        // Once the helper has shown it: its frame and the loading-page address it requested.
        QRect frame;
        QUrl page;
        // The register of a catalog item's box; null for introduction pages.
        WebBoxRegister* reg = nullptr;
    };

    static WebPageBoxHost& Process();

    // The helper program; by default ravik-webbox in the launcher's own directory.
    void SetProgram(const QString& program) { program_ = program; }

    // Asks the helper, started now when none runs, to show `target` through the loading page
    // of `productUrl` in a box of `size` titled `title`, centred on the main window. With
    // `reg` the box is a catalog item's: the register learns when it has closed.
    void Open(WebPageSize size, std::uint32_t itemId, const QString& title, const QString& target,
              const QString& productUrl, WebBoxRegister* reg);
    // Closes the box `key` as its close button would.
    void Close(std::uint32_t key);

    const std::vector<Box>& Boxes() const { return boxes_; }
    // The helper's process id while one runs for the open boxes; 0 when none does.
    qint64 HelperProcessId() const;

  signals:
    void webBoxShown(std::uint32_t key);
    // Box `key` of item `itemId` has closed; for a catalog item's box its register already
    // reads closed.
    void webBoxClosed(std::uint32_t itemId, std::uint32_t key);

  private:
    explicit WebPageBoxHost(QObject* parent);

    void StartHelper();
    void Read(QProcess* helper);
    void Handle(const WebPageBoxMessage& message);
    // Forgets box `key` and tells the register and the listeners; the helper's input ends
    // with the last box, so that it ends too.
    void Closed(std::uint32_t key);
    // The helper ended or never started: its boxes are gone. `inBrowser`: their pages open
    // in the default browser instead, as they never showed.
    void HelperGone(QProcess* helper, bool inBrowser);

    QString program_;
    QPointer<QProcess> helper_;
    std::vector<Box> boxes_;
    std::uint32_t lastKey_ = 0;
};

}  // namespace ui
