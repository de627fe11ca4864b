// The result of one service command, for a person (labelled lines) or, with /json, for a script
// (one JSON object, on a line of its own, at the end).
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "qel_codes.h"
#include "qel_event.h"
#include "service_printer.h"

namespace service {

// Exit statuses from the table that Orvane uses too.
inline constexpr int kExitOk = QEL_EXIT_SUCCESS;
inline constexpr int kExitUsage = QEL_EXIT_BEFORE_RUN;  // bad command line, or an unusable file

// How a command ended: success, a local problem, or a result code of the library.
struct Outcome {
    int exitStatus = kExitOk;
    int result = 0;
    std::string failure;

    static Outcome Ok() { return {}; }
    static Outcome Local(std::string what) { return {kExitUsage, 0, std::move(what)}; }
    // A failed device command gives 2; a CRC16 that differs from the file's, like a wrong image
    // that Orvane finds, gives 3.
    static Outcome Device(int result, std::string what) {
        const int failure =
            qel::IsWrongImage(result) ? QEL_FAILURE_WRONG_IMAGE : QEL_FAILURE_EXCHANGE;
        return {qel_exit_status_of(failure), result, std::move(what)};
    }
};

struct HexNumber {
    std::uint32_t value;
    int digits;
};

class Report {
  public:
    using Value = std::variant<std::uint64_t, HexNumber, std::string, bool>;

    Report(Printer& printer, bool json) : m_printer(printer), m_json(json) {}

    // Shown to a person as it happens; a script gets only the final object.
    void Progress(const std::string& text);
    void Add(std::string key, std::string label, Value value);
    // Prints the fields and how the command ended; returns the exit status.
    int Finish(const std::string& command, const Outcome& outcome);

  private:
    struct Field {
        std::string key;
        std::string label;
        Value value;
    };
    void FinishForPerson(const Outcome& outcome);
    void FinishForScript(const std::string& command, const Outcome& outcome);

    Printer& m_printer;
    bool m_json;
    std::vector<Field> m_fields;
};

}  // namespace service
