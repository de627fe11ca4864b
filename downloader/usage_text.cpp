#include "usage_text.h"

#include "orvane_print.h"

namespace orvane {

void PrintBanner() {
    Print("\n\nOrvane v.1.02");
}

// Each line is its own output call; the blanks inside the lines align the columns.
void PrintUsage() {
    Print("\n\nUsage:");
    Print(
        "\nOrvane.exe /c=tcp|com /i=<xxx.xxx.xxx.xxx> /p=<port> /f=<filename> /v=crc|full "
        "/m=a|p|v|r|b");
    Print("\n/c=tcp|com           - communication channel: TCP connection or serial port");
    Print("\n/i=<xxx.xxx.xxx.xxx> - IP address of remote device");
    Print("\n/p=<port>            - TCP or SERIAL port number depending on set channel value");
    Print("\n                       valid TCP ports   : [1..65535]");
    Print("\n                       valid SERIAL ports: [1..255]");
    Print(
        "\n/d=<device>          - serial device path instead of the COM port number (e.g. "
        "/dev/ttyUSB0)");
    Print("\n/l                   - list the serial ports and exit");
    Print("\n/r=<0..10>           - send a request again when its reply is lost, 0 to 10 times");
    Print("\n/f=<filename>        - Filename specifies the file to download");
    Print(
        "\n/v=crc|full          - verification method - ony CRC16 or read all data back and "
        "verify");
    Print("\n                       default value is crc");
    Print("\n/m=a|p|v|r           - mode of execution");
    Print("\n                       a - all steps (default)");
    Print("\n                       p - only write data to device");
    Print("\n                       v - only verify wrote data");
    Print("\n                       r - only reset device");
    Print(
        "\n                       b - the same as 'a' but doing this in 'BLIND' mode - forever "
        "repeat till success upgrade confirmation.");
    Print("\n\nExample:");
    Print("\nOrvane.exe /c=com /p=1 /f=myfile.hex /v=crc");
    Print("\nDownload myfile.hex through serial port COM1");
    Print("\n");
    Print("\nOrvane.exe /c=tcp /i=192.168.1.10 /p=262 /f=myfile.hex");
    Print("\nDownload myfile.hex through TCP connection on address 192.168.1.10:262\n");
}

}  // namespace orvane
