#include "app/DeskApplication.h"

int main(int argc, char** argv) {
    app::DeskApplication program(argc, argv);
    return program.Run();
}
