#include "sim_app.h"

#include <exception>
#include <iostream>

#include "pty_server.h"
#include "sim_options.h"
#include "stop_signal.h"
#include "tcp_server.h"

namespace qelsim {
namespace {

int Run(const std::vector<std::string>& arguments) {
    ParseResult parsed = ParseCommandLine(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "qel-sim: " << parsed.error << "\n" << UsageText();
        return 1;
    }
    SimOptions& options = parsed.options;
    if (options.help) {
        std::cout << UsageText() << std::flush;
        return 0;
    }
    if (const std::string error = LoadBlockFiles(options); !error.empty()) {
        std::cerr << "qel-sim: " << error << std::endl;
        return 1;
    }
    SimOutputs outputs(options.logFile, options.dumpFile);
    if (!outputs.LogOpen()) {
        std::cerr << "qel-sim: cannot open the log " << options.logFile << std::endl;
        return 1;
    }
    // The log is the record of a running device; memory stays bounded however long it runs.
    options.device.requestHistory = 1024;
    DeviceModel device(options.device);
    SimulatedDevice simulated(device, outputs, options.line);
    device.SetBootObserver([&](const std::string& verdict) {
        simulated.pendingBoot = verdict;
        outputs.WriteDump(device.Memory());
    });
    InstallStopHandlers();
    const int status = options.transport == Transport::kTcp
                           ? ServeTcp(simulated, options.listenAddress, options.tcpPort)
                           : ServePty(simulated);
    if (simulated.pendingBoot) {
        outputs.LogBoot(*simulated.pendingBoot);
    }
    if (options.line.noiseBitErrorRate > 0) {
        outputs.LogNoiseSummary(simulated.noiseToDevice.Flips(), simulated.noiseToHost.Flips());
    }
    if (!outputs.WriteDump(device.Memory())) {
        return 1;
    }
    return status;
}

}  // namespace

int RunSimulator(const std::vector<std::string>& arguments) {
    try {
        return Run(arguments);
    } catch (const std::exception& error) {
        // Nothing the simulator meets may end it with an abort: say what and stop.
        std::cerr << "qel-sim: " << error.what() << std::endl;
        return 1;
    }
}

}  // namespace qelsim
