// Where qel-service's text goes: standard output for the program, a string for the tests.
#pragma once

#include <string>

#include "text_format.h"

namespace service {

class Printer {
  public:
    virtual ~Printer() = default;
    virtual void Write(const std::string& text) = 0;
};

// Flushes after every message, so that a person sees each progress line while the next block
// is on its way.
class StdoutPrinter : public Printer {
  public:
    void Write(const std::string& text) override;
};

class StringPrinter : public Printer {
  public:
    void Write(const std::string& text) override { m_text += text; }
    const std::string& Text() const { return m_text; }

  private:
    std::string m_text;
};

using cli::Format;

}  // namespace service
