// The largest image the device takes, as Intel HEX: data from 0x3000 up to 0x7FFFF in 16-byte
// records with an extended linear address record before every 64 KiB window.
#pragma once

#include <string>

std::string MakeBigHexText();
