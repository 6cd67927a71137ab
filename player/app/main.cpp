#include "korvidapp.h"

int main(int argc, char** argv) {
    CKorvidApp app(argc, argv);
    return app.run();
}
