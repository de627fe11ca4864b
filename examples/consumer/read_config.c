/* Reads a device's configuration block over TCP through the C interface:
 * read_config <address> <port> */
#include <qel/qel.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    qel_device* device = NULL;
    uint8_t config[QEL_CONFIG_BYTES];
    int32_t code;
    int i;
    if (argc != 3) {
        fprintf(stderr, "usage: read_config <address> <port>\n");
        return 1;
    }
    code = qel_open_tcp(argv[1], atoi(argv[2]), 5000, &device);
    if (code == QEL_OK) {
        code = qel_read_config(device, config, sizeof config);
        qel_close(device);
    }
    if (code != QEL_OK) {
        fprintf(stderr, "%d: %s\n", (int)code, qel_result_text(code));
        return 2;
    }
    for (i = 0; i < QEL_CONFIG_BYTES; ++i) {
        printf("%02X", config[i]);
    }
    printf("\n");
    return 0;
}
