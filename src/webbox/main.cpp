// ravik-webbox: the launcher's web page boxes in a process of their own. The launcher starts
// it when the first box opens and sends it one line per box to open or close on its standard
// input; it answers on its standard output (ui::WebPageBoxMessage). The launcher ends its
// input when the last box has closed, and then it ends too, giving the web engine's memory
// back; when the launcher ends, so do its boxes.
#include <QApplication>
#include <iostream>
#include <string>
#include <thread>

#include "app/ChineseLocale.h"
#include "ui/SkinImages.h"
#include "webbox/WebBoxService.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The launcher's name, so that the boxes share what it stored under it.
    QApplication::setApplicationName(QStringLiteral("Ravik_desk"));
    QApplication::setWindowIcon(ui::AppIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    // Before the first web view starts the web engine: its error pages are Chinese then.
    app::ChineseLocale::Install(application);

    webbox::WebBoxService service([](const QByteArray& line) {
        std::cout.write(line.constData(), line.size());
        std::cout.flush();
    });
    // Standard input is read on a thread of its own; each line reaches the service on the UI
    // thread, and the end of the input ends the program.
    std::thread reader([&application, &service] {
        std::string line;
        while (std::getline(std::cin, line)) {
            QMetaObject::invokeMethod(
                &service, [&service, line] { service.Receive(QByteArray::fromStdString(line)); });
        }
        QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    const int status = application.exec();
    reader.join();
    return status;
}
