#include "usage_text.h"

#include "service_request.h"

namespace service {

std::string UsageText() {
    std::string text =
        "\n\nqel-service: runs one service command on a device."
        "\n\nUsage:"
        "\nqel-service /c=tcp|com /i=<xxx.xxx.xxx.xxx> /p=<port> [/d=<device>] [/json] <command>"
        "\n/c=tcp|com           - communication channel: TCP connection or serial port"
        "\n/i=<xxx.xxx.xxx.xxx> - IP address of remote device"
        "\n/p=<port>            - TCP port [1..65535] or SERIAL port [1..255]"
        "\n/d=<device>          - serial device path to use instead of the port's own"
        "\n/json                - print the result as one JSON object for a script"
        "\n\nCommands (numbers in decimal or 0x hex, blocks as hex digits, files binary):";
    for (const std::string& synopsis : CommandSynopses()) {
        text += "\n  " + synopsis;
    }
    text +=
        "\n\nExample:"
        "\nqel-service /c=tcp /i=192.168.1.10 /p=262 read-mem 0x40000 4096 image.bin"
        "\nqel-service /c=tcp /i=192.168.1.10 /p=262 crc 0x40000 4096 image.bin"
        "\n\nExit status: 0 success, 1 bad command line or file, 2 the device command failed or"
        "\ncannot be reached, 3 crc found the device's CRC16 different from the file's.\n";
    return text;
}

}  // namespace service
