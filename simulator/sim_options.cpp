// The qel-sim command line: "--name value" options, in any order, every one listed by --help.
#include "sim_options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace qelsim {
namespace {

struct OptionSpec {
    const char* value;  // placeholder shown in the usage text; null for a switch
    const char* help;
    std::function<bool(SimOptions&, const std::string&)> apply;
};

std::optional<std::uint64_t> ParseUnsigned(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

bool ParseU64(const std::string& text, std::uint64_t& out) {
    const auto value = ParseUnsigned(text);
    if (!value) {
        return false;
    }
    out = *value;
    return true;
}

bool ParseU32(const std::string& text, std::uint32_t& out) {
    const auto value = ParseUnsigned(text);
    if (!value || *value > 0xFFFFFFFFULL) {
        return false;
    }
    out = static_cast<std::uint32_t>(*value);
    return true;
}

// Milliseconds of a delay: at most ten minutes.
bool ParseDelay(const std::string& text, std::uint32_t& out) {
    return ParseU32(text, out) && out <= 600000;
}

// Dotted decimal: four numbers from 0 to 255.
bool ParseIPv4(std::string_view text, IPv4Address& out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t dot = i + 1 < out.size() ? text.find('.') : text.size();
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + dot, value, 10);
        if (dot == std::string_view::npos || dot == 0 || error != std::errc() ||
            end != text.data() + dot || value > 255) {
            return false;
        }
        out[i] = static_cast<std::uint8_t>(value);
        text.remove_prefix(std::min(dot + 1, text.size()));
    }
    return true;
}

// A request number: counted from 1.
bool AddNumbers(const std::string& text, std::set<std::uint32_t>& numbers) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::uint32_t number = 0;
        if (!ParseU32(text.substr(start, comma - start), number) || number == 0) {
            return false;
        }
        numbers.insert(number);
        start = comma + 1;
    }
    return true;
}

// "N:MS": the reply to request N waits MS milliseconds more than the others.
bool AddSlowReply(const std::string& text, std::map<std::uint32_t, std::uint32_t>& slow) {
    const std::size_t colon = text.find(':');
    std::uint32_t number = 0;
    std::uint32_t delay = 0;
    if (colon == std::string::npos || !ParseU32(text.substr(0, colon), number) || number == 0 ||
        !ParseDelay(text.substr(colon + 1), delay)) {
        return false;
    }
    slow[number] = delay;
    return true;
}

bool ParseMemorySize(const std::string& text, std::size_t& out) {
    std::string digits = text;
    std::uint64_t unit = 1;
    if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'k')) {
        unit = 1024;
        digits.pop_back();
    } else if (!digits.empty() && (digits.back() == 'M' || digits.back() == 'm')) {
        unit = 1024 * 1024;
        digits.pop_back();
    }
    const auto value = ParseUnsigned(digits);
    constexpr std::uint64_t kLargest = 256ULL * 1024 * 1024;
    if (!value || *value == 0 || *value > kLargest / unit) {
        return false;
    }
    out = static_cast<std::size_t>(*value * unit);
    return true;
}

// A decimal number from least to most, exponents allowed ("1e-5").
bool ParseReal(const std::string& text, double least, double most, double& out) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= least) ||
        !(value <= most)) {
        return false;
    }
    out = value;
    return true;
}

bool ParseSeconds(const std::string& text, std::chrono::milliseconds& out) {
    double seconds = 0;
    if (!ParseReal(text, 0, 86400, seconds)) {
        return false;
    }
    out = std::chrono::milliseconds(std::llround(seconds * 1000));
    return true;
}

const std::map<std::string, OptionSpec>& Specs() {
    static const std::map<std::string, OptionSpec> specs = {
        {"--tcp",
         {"PORT", "serve TCP on PORT of 127.0.0.1 (0 picks a free port)",
          [](SimOptions& o, const std::string& v) {
              std::uint32_t port = 0;
              o.transport = Transport::kTcp;
              if (!ParseU32(v, port) || port > 0xFFFF) {
                  return false;
              }
              o.tcpPort = static_cast<std::uint16_t>(port);
              return true;
          }}},
        {"--listen",
         {"ADDR", "listen on this IPv4 address instead of 127.0.0.1",
          [](SimOptions& o, const std::string& v) { return ParseIPv4(v, o.listenAddress); }}},
        {"--pty",
         {nullptr, "serve on a new pseudo-terminal; its path is the first line of output",
          [](SimOptions& o, const std::string&) {
              o.transport = Transport::kPty;
              return true;
          }}},
        {"--memory-size",
         {"BYTES", "device memory size, K or M suffix allowed (default 1M)",
          [](SimOptions& o, const std::string& v) {
              return ParseMemorySize(v, o.device.memorySize);
          }}},
        {"--dump",
         {"FILE", "write the raw memory to FILE after every reset and at exit",
          [](SimOptions& o, const std::string& v) {
              o.dumpFile = v;
              return !v.empty();
          }}},
        {"--log",
         {"FILE", "append a JSON line per request and per event (boot, close, noise) to FILE",
          [](SimOptions& o, const std::string& v) {
              o.logFile = v;
              return !v.empty();
          }}},
        {"--config-file",
         {"FILE", "the 34-byte configuration block",
          [](SimOptions& o, const std::string& v) {
              o.configFile = v;
              return !v.empty();
          }}},
        {"--data-file",
         {"FILE", "the 93-byte payload of data replies",
          [](SimOptions& o, const std::string& v) {
              o.dataFile = v;
              return !v.empty();
          }}},
        {"--raw-file",
         {"FILE", "raw data reply: 6 info bytes, value offset, encoding, then the data",
          [](SimOptions& o, const std::string& v) {
              o.rawFile = v;
              return !v.empty();
          }}},
        {"--load",
         {"ADDR:FILE", "memory at power-on holds FILE's bytes from ADDR (a device flashed before)",
          [](SimOptions& o, const std::string& v) {
              const std::size_t colon = v.find(':');
              o.loadFile = colon == std::string::npos ? "" : v.substr(colon + 1);
              return colon != std::string::npos &&
                     ParseU32(v.substr(0, colon), o.device.preloadAddress) && !o.loadFile.empty();
          }}},
        {"--drop-reply",
         {"N[,N...]", "act on request N but send no reply",
          [](SimOptions& o, const std::string& v) { return AddNumbers(v, o.device.dropReplies); }}},
        {"--corrupt-reply",
         {"N[,N...]", "send the reply to request N with a CRC16 that fails",
          [](SimOptions& o, const std::string& v) {
              return AddNumbers(v, o.device.corruptReplies);
          }}},
        {"--wrong-id",
         {"N[,N...]", "answer request N with another message id",
          [](SimOptions& o, const std::string& v) {
              return AddNumbers(v, o.device.wrongIdReplies);
          }}},
        {"--fail-status",
         {"N[,N...]", "refuse request N with status byte 1",
          [](SimOptions& o, const std::string& v) {
              return AddNumbers(v, o.device.failStatusRequests);
          }}},
        {"--fail-write-at",
         {"ADDR", "refuse every page write at ADDR with status byte 1",
          [](SimOptions& o, const std::string& v) {
              std::uint32_t address = 0;
              if (!ParseU32(v, address)) {
                  return false;
              }
              o.device.failWriteAddress = address;
              return true;
          }}},
        {"--fail-write-at-times",
         {"K", "refuse the writes at --fail-write-at only K times, then accept them",
          [](SimOptions& o, const std::string& v) {
              return ParseU32(v, o.device.failWriteTimes) && o.device.failWriteTimes > 0;
          }}},
        {"--flip-read-at",
         {"ADDR", "page reads at ADDR return one byte changed; memory and CRC16 stay right",
          [](SimOptions& o, const std::string& v) {
              std::uint32_t address = 0;
              if (!ParseU32(v, address)) {
                  return false;
              }
              o.device.flipReadAddress = address;
              return true;
          }}},
        {"--lie-crc",
         {nullptr, "answer the memory CRC16 command with a wrong CRC16",
          [](SimOptions& o, const std::string&) {
              o.device.lieAboutCrc16 = true;
              return true;
          }}},
        {"--silent-after-reset",
         {"SECONDS", "ignore every request for SECONDS after a reset",
          [](SimOptions& o, const std::string& v) {
              return ParseSeconds(v, o.device.silentTimeAfterReset);
          }}},
        {"--silent-requests-after-reset",
         {"K|forever", "ignore the next K requests after a reset",
          [](SimOptions& o, const std::string& v) {
              if (v == "forever") {
                  o.device.silentRequestsAfterReset = kForever;
                  return true;
              }
              return ParseU32(v, o.device.silentRequestsAfterReset);
          }}},
        {"--close-after",
         {"N", "TCP: close the connection right after request N (once)",
          [](SimOptions& o, const std::string& v) {
              return ParseU32(v, o.line.closeAfterRequest) && o.line.closeAfterRequest > 0;
          }}},
        {"--refuse-connections",
         {"K", "TCP: accept and at once close the first K connections",
          [](SimOptions& o, const std::string& v) {
              return ParseU32(v, o.line.refuseConnections);
          }}},
        {"--reply-delay",
         {"MS", "wait MS milliseconds before every reply",
          [](SimOptions& o, const std::string& v) { return ParseDelay(v, o.line.replyDelayMs); }}},
        {"--close-on-reset",
         {nullptr,
          "drop the line after answering a reset (TCP: close; pty: deaf until the port is closed)",
          [](SimOptions& o, const std::string&) {
              o.line.closeOnReset = true;
              return true;
          }}},
        {"--stray-char",
         {"N[,N...]", "send one stray '5' right after the reply to request N",
          [](SimOptions& o, const std::string& v) { return AddNumbers(v, o.line.strayAfter); }}},
        {"--duplicate-reply",
         {"N[,N...]", "send the reply to request N twice",
          [](SimOptions& o, const std::string& v) {
              return AddNumbers(v, o.line.duplicateReplies);
          }}},
        {"--idle-timeout",
         {"SECONDS", "TCP: close a connection idle for SECONDS (default 60; 0: no limit)",
          [](SimOptions& o, const std::string& v) { return ParseSeconds(v, o.line.idleLimit); }}},
        {"--noise",
         {"BER", "flip each bit of the characters on the line, both ways, with chance BER",
          [](SimOptions& o, const std::string& v) {
              return ParseReal(v, 0, 1, o.line.noiseBitErrorRate);
          }}},
        {"--seed",
         {"S", "the seed of --noise (default 1): the same seed flips the same bits",
          [](SimOptions& o, const std::string& v) { return ParseU64(v, o.line.noiseSeed); }}},
        {"--latency",
         {"MS",
          "every reply leaves MS ms after its request came; later requests are read meanwhile",
          [](SimOptions& o, const std::string& v) { return ParseDelay(v, o.line.latencyMs); }}},
        {"--flash-ms",
         {"MS", "the device takes MS ms to write a page: its reply and the next read wait for it",
          [](SimOptions& o, const std::string& v) { return ParseDelay(v, o.line.flashMs); }}},
        {"--slow-reply",
         {"N:MS", "wait MS milliseconds more before the reply to request N (repeatable)",
          [](SimOptions& o, const std::string& v) { return AddSlowReply(v, o.line.slowReplies); }}},
        {"--baud",
         {"B", "pace every character at B baud, 10 bits a character, both ways",
          [](SimOptions& o, const std::string& v) {
              return ParseU32(v, o.line.baud) && o.line.baud >= 10;
          }}},
        {"--late-reply",
         {"N[,N...]", "hold the reply to request N back until request N+1 has arrived",
          [](SimOptions& o, const std::string& v) { return AddNumbers(v, o.line.lateReplies); }}},
        {"--help",
         {nullptr, "show this text",
          [](SimOptions& o, const std::string&) {
              o.help = true;
              return true;
          }}},
    };
    return specs;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
    ParseResult result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        const auto spec = Specs().find(name);
        if (spec == Specs().end()) {
            result.error = "unknown option " + name;
            return result;
        }
        std::string value;
        if (spec->second.value != nullptr) {
            if (i + 1 >= arguments.size()) {
                result.error = name + " needs a value " + spec->second.value;
                return result;
            }
            value = arguments[++i];
        }
        if (!spec->second.apply(result.options, value)) {
            result.error = "bad value for " + name + ": " + value;
            return result;
        }
    }
    if (!result.options.help && result.options.transport == Transport::kNone) {
        result.error = "name a transport: --tcp PORT or --pty";
    }
    return result;
}

std::string UsageText() {
    std::string text =
        "usage: qel-sim (--tcp PORT | --pty) [options]\n"
        "A simulated QEL device. Request numbers count every request line from 1.\n\n";
    for (const auto& [name, spec] : Specs()) {
        std::string left = "  " + name;
        if (spec.value != nullptr) {
            left += std::string(" ") + spec.value;
        }
        left.resize(std::max<std::size_t>(left.size() + 1, 42), ' ');
        text += left + spec.help + "\n";
    }
    return text;
}

}  // namespace qelsim
