// The floor any Qt Widgets launcher pays: one plain 310 x 528 window, built in the same tree
// with the same Qt as Ravik_desk, for desk_process_bench to start beside it.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(310, 528);
    window.show();
    return application.exec();
}
