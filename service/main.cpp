// qel-service: the program around the service library.
#include "run_service.h"

int main(int argc, char** argv) {
    return service::RunServiceMain(argc, argv);
}
