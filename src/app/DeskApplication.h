#pragma once

#include <QApplication>

namespace app {

// The launcher program: one copy per user session, started with
//   Ravik_desk [--data-dir DIR] [--server HOST:PORT]
// (the program directory is DIR, else $RAVIK_HOME, else the executable's directory).
// A second start shows the first copy's window and ends without a word.
class DeskApplication : public QApplication {
    Q_OBJECT
  public:
    DeskApplication(int& argc, char** argv);

    // Runs the program to its end; the process exit code.
    int Run();
};

}  // namespace app
