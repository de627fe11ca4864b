#include "service_options.h"

#include <cctype>

namespace service {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool IsHelp(const std::string& argument) {
    const std::string lower = Lower(argument);
    return lower == "/?" || lower == "-h" || lower == "--help";
}

// "/x=value": the lower-case letter x, or 0 when the argument has another form.
char OptionLetter(const std::string& argument) {
    if (argument.size() < 3 || argument[0] != '/' || argument[2] != '=') {
        return 0;
    }
    return static_cast<char>(std::tolower(static_cast<unsigned char>(argument[1])));
}

bool TakeValue(ServiceOptions& options, const std::string& argument) {
    const std::string value = argument.substr(3);
    switch (OptionLetter(argument)) {
        case 'c':
            options.channel = value;
            return true;
        case 'i':
            options.address = value;
            return true;
        case 'p':
            options.port = value;
            return true;
        case 'd':
            options.device = value;
            return true;
        default:
            return false;
    }
}

}  // namespace

ServiceOptions ParseServiceOptions(const std::vector<std::string>& arguments) {
    ServiceOptions options;
    options.help = arguments.empty();
    for (const std::string& argument : arguments) {
        if (IsHelp(argument)) {
            options.help = true;
        } else if (Lower(argument) == "/json") {
            options.json = true;
        } else if (OptionLetter(argument) != 0) {
            if (!TakeValue(options, argument)) {
                options.unknown.push_back(argument);
            }
        } else if (options.command.empty() && !argument.empty() && argument[0] == '/') {
            options.unknown.push_back(argument);
        } else if (options.command.empty()) {
            options.command = Lower(argument);
        } else {
            // Operands keep their case and may start with '/': they are often absolute paths.
            options.operands.push_back(argument);
        }
    }
    return options;
}

}  // namespace service
