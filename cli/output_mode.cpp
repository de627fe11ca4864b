#include "output_mode.h"

namespace cli {

OutputMode OutputModeOf(const std::vector<std::string>& arguments) {
    constexpr OptionSpec kModes[] = {kJsonOption, kQuietOption};
    OutputMode mode = OutputMode::kText;
    for (const std::string& argument : arguments) {
        const OptionSpec* option = MatchOption(kModes, argument);
        if (option == &kModes[0]) {
            return OutputMode::kJson;
        }
        if (option != nullptr) {
            mode = OutputMode::kQuiet;
        }
    }
    return mode;
}

}  // namespace cli
