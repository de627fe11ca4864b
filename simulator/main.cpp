// qel-sim: a simulated QEL device on TCP or a pseudo-terminal.
#include <string>
#include <vector>

#include "sim_app.h"

int main(int argc, char** argv) {
    return qelsim::RunSimulator(std::vector<std::string>(argv + 1, argv + argc));
}
