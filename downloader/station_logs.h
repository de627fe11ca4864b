// /log=DIR: a file for each device in DIR, named after the device.
#pragma once

#include <string>
#include <vector>

#include "event_sink.h"
#include "station_output.h"
#include "station_settings.h"

namespace orvane {

// The device names with every character but letters, digits, '.' and '-' turned into '_', and
// ".log"; a name that two devices would share gets "-2", "-3", ... for the later ones.
std::vector<std::string> LogFileNames(const std::vector<StationDevice>& devices);

// Creates the folder when it is missing and a file for each device, in the devices' order. On a
// failure reports "ERROR: " and what failed, and returns false.
bool OpenLogFiles(const std::string& folder, const std::vector<StationDevice>& devices,
                  std::vector<LogFile>& files, qel::EventSink& sink);

}  // namespace orvane
