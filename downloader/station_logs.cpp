#include "station_logs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "orvane_print.h"

namespace orvane {
namespace {

bool IsSafe(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
}

std::string SafeName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        c = IsSafe(c) ? c : '_';
    }
    return safe;
}

}  // namespace

std::vector<std::string> LogFileNames(const std::vector<StationDevice>& devices) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const StationDevice& device : devices) {
        const std::string stem = SafeName(device.name);
        std::string name = stem + ".log";
        for (int n = 2; !taken.insert(name).second; ++n) {
            name = stem + "-" + std::to_string(n) + ".log";
        }
        names.push_back(name);
    }
    return names;
}

bool OpenLogFiles(const std::string& folder, const std::vector<StationDevice>& devices,
                  std::vector<LogFile>& files, qel::EventSink& sink) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        Print(sink, QEL_EVENT_ERROR, "\nERROR: Cannot create log folder [%s]: %s.", folder.c_str(),
              error ? error.message().c_str() : "not a folder");
        return false;
    }
    for (const std::string& name : LogFileNames(devices)) {
        const std::string path = (std::filesystem::path(folder) / name).string();
        LogFile file(std::fopen(path.c_str(), "w"));
        if (!file) {
            Print(sink, QEL_EVENT_ERROR, "\nERROR: Cannot create log file [%s]: %s.", path.c_str(),
                  std::strerror(errno));
            return false;
        }
        files.push_back(std::move(file));
    }
    return true;
}

}  // namespace orvane
