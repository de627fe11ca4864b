// Reads a device's system clock over TCP: read_clock <address> <port>
#include <qel/qel_protocol.h>
#include <qel/socket_channel.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: read_clock <address> <port>\n");
        return 1;
    }
    _socket_open_params params{std::atoi(argv[2]), 5000, {}};
    std::strncpy(params.address, argv[1], sizeof params.address - 1);
    SocketChannel channel;
    int result = channel.Open(&params);
    if (result == 0) {
        QelProtocol device(&channel, qel::kVerifyMethodCrc16, qel::kRunModeAll, nullptr);
        _qel_system_time clock{};
        result = device.ReadSystemTime(&clock);
        channel.Close();
        if (result == 0) {
            for (unsigned char byte : clock.bytes) {
                std::printf("%02X", byte);
            }
            std::printf("\n");
            return 0;
        }
    }
    std::fprintf(stderr, "failed: %d (%s)\n", result, qel::ResultCodeText(result));
    return 2;
}
