// A log of the hex reader's callbacks.
#pragma once

#include <cstdio>
#include <string>

// Messages joined by "|", records as "address:bytes" joined by " ", both in hex.
struct ReaderLog {
    std::string messages;
    std::string records;
    std::string codes;
    int recordResult = 0;

    static int OnMessage(void* context, int code, const char* text) {
        auto* log = static_cast<ReaderLog*>(context);
        log->messages += (log->messages.empty() ? "" : "|") + std::string(text);
        log->codes += std::to_string(code) + " ";
        return 0;
    }
    static int OnRecord(void* context, unsigned address, unsigned count,
                        const unsigned char* data) {
        auto* log = static_cast<ReaderLog*>(context);
        char text[16];
        std::snprintf(text, sizeof text, "%s%X:", log->records.empty() ? "" : " ", address);
        log->records += text;
        for (unsigned index = 0; index < count; ++index) {
            std::snprintf(text, sizeof text, "%02X", data[index]);
            log->records += text;
        }
        return log->recordResult;
    }
};
