// A device made of fuzzer bytes: every Read takes the next bytes of the input, and one chosen
// Write can fail. When asked, replies are mended into frames that pass the reply check (header of
// the request just sent, hex digits, the CR and a correct CRC16), so that the checks behind it
// see arbitrary payloads too. Page writes are kept, so that a successful upgrade can be compared
// with what was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "comm_channel.h"
#include "frame_codec.h"
#include "qel_codes.h"
#include "wire_text.h"

class FuzzedDeviceChannel : public ICommChannel {
  public:
    struct Settings {
        bool mendReplies = false;
        int failingWrite = 0;  // 1-based index of the Write that fails; 0 for none
        int writeFailure = qel::kErrWrite;
    };

    FuzzedDeviceChannel(const std::uint8_t* bytes, std::size_t size, Settings settings)
        : m_bytes(bytes), m_size(size), m_settings(settings) {}

    int Open(void*) override { return qel::kOk; }
    void Close() override {}

    int Write(char* data, int length) override {
        ++m_writes;
        // Once the device has nothing more to say, the line is gone: this bounds the blind run
        // mode, which otherwise starts over for as long as the device stays silent.
        if (m_writes == m_settings.failingWrite) {
            return m_settings.writeFailure;
        }
        if (m_used == m_size) {
            return qel::kErrWrite;
        }
        const std::string text(data, static_cast<std::size_t>(length));
        if (length > 1) {
            m_request = text;
            m_reply.clear();
            KeepPageWrite(text);
        }
        return qel::kOk;
    }

    int Read(char* buffer, int length) override {
        const auto wanted = static_cast<std::size_t>(length);
        if (m_size - m_used < wanted) {
            m_used = m_size;  // a short reply ends the conversation
            return qel::kErrReadTimeout;
        }
        std::string chunk(reinterpret_cast<const char*>(m_bytes + m_used), wanted);
        m_used += wanted;
        if (m_settings.mendReplies) {
            chunk = Mend(chunk);
        }
        m_reply += chunk;
        std::memcpy(buffer, chunk.data(), wanted);
        return qel::kOk;
    }

    // The bytes of the last reply, as far as it came, without its CR.
    std::vector<std::uint8_t> LastReply() const {
        return Decode(m_reply.substr(0, m_reply.size() & ~std::size_t{1}));
    }
    // The last content sent for each page address.
    const std::map<std::uint32_t, std::vector<std::uint8_t>>& Pages() const { return m_pages; }
    // Page addresses in the order of their writes.
    const std::vector<std::uint32_t>& PageOrder() const { return m_pageOrder; }

  private:
    static constexpr std::size_t kPageWriteCharacters = 2 * 270;
    static constexpr std::size_t kPageDataOffset = 12;

    static std::vector<std::uint8_t> Decode(const std::string& text) {
        std::vector<std::uint8_t> bytes(text.size() / 2 + 1, 0);
        qel::codec::ConvertToBinary(bytes.data(), (text + "\r").c_str());
        bytes.pop_back();
        return bytes;
    }

    void KeepPageWrite(const std::string& text) {
        if (text.size() != kPageWriteCharacters || text.compare(0, 4, "5A18") != 0) {
            return;
        }
        const std::vector<std::uint8_t> frame = Decode(text);
        const std::uint32_t address = qel::codec::GetLittleEndian32(frame.data() + 5);
        m_pages[address].assign(frame.begin() + kPageDataOffset,
                                frame.begin() + kPageDataOffset + 256);
        m_pageOrder.push_back(address);
    }

    // Rewrites what the reply holds so far (the earlier part already delivered) and returns the
    // new part: hex digits everywhere, the request's header, and on a reply of odd length, which
    // is a whole frame, the CRC16 and the CR.
    std::string Mend(const std::string& chunk) const {
        static const char kDigits[] = "0123456789ABCDEF";
        std::string whole = m_reply + chunk;
        for (char& character : whole) {
            character = kDigits[static_cast<unsigned char>(character) & 0xF];
        }
        const std::size_t header = m_request.size() >= 8 && whole.size() >= 8 ? 8 : 0;
        for (std::size_t i = 0; i < header; ++i) {
            whole[i] = m_request[i];
        }
        if (header != 0) {
            // The reply flag on the command code.
            const char high = m_request[2];
            const int nibble = high <= '9' ? high - '0' : high - 'A' + 10;
            whole[2] = kDigits[(nibble + 8) & 0xF];
        }
        if (whole.size() % 2 == 1 && whole.size() >= 13) {
            whole.back() = '\r';
            std::vector<std::uint8_t> frame = Decode(whole.substr(0, whole.size() - 1));
            frame.resize(frame.size() - 2);  // the CRC16 is sealed anew over the rest
            const std::string text = wire::Text(frame);
            whole.replace(0, text.size(), text);
        }
        return whole.substr(m_reply.size());
    }

    const std::uint8_t* m_bytes;
    std::size_t m_size;
    std::size_t m_used = 0;
    Settings m_settings;
    int m_writes = 0;
    std::string m_request;
    std::string m_reply;
    std::map<std::uint32_t, std::vector<std::uint8_t>> m_pages;
    std::vector<std::uint32_t> m_pageOrder;
};
