#include "app/CRavikApp.h"

int main(int argc, char** argv) {
    app::CRavikApp program(argc, argv);
    return program.Run();
}
