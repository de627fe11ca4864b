// QelProtocol: the device protocol engine. Every command is one request/reply exchange over the
// channel given to the constructor; every operation returns a result code (qel_codes.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "comm_channel.h"
#include "event_sink.h"
#include "qel_codes.h"
#include "qel_export.h"
#include "qel_protocol_settings.h"
#include "qel_records.h"
#include "trace_window.h"

namespace qel {
class EventEmitter;
class ProtocolBinding;
}  // namespace qel

class QEL_API QelProtocol {
  public:
    // The channel is not owned and must be open while commands run. verifyMethod and runMode
    // take the values of qel_protocol_settings.h. A null window sends no trace notifications.
    QelProtocol(ICommChannel* channel, int verifyMethod, int runMode, HWND hwnd);
    ~QelProtocol();
    // Both copy every setting and take a copy of their own of the other's application image.
    QelProtocol(const QelProtocol& other);
    QelProtocol& operator=(const QelProtocol& other);

    // Upgrade sequence.
    int PrepareDataBuffer(char* image, int first, int end);
    void ResetUpgrade();
    int Execute();
    int Reset();
    void dummy();

    // Configuration and clock.
    int ReadConfiguration(_qel_configuration* configuration);
    int WriteConfiguration(const _qel_configuration* configuration);
    int ReadSystemTime(_qel_system_time* systemTime);
    int WriteSystemTime(const _qel_system_time* systemTime);

    // Memory and data.
    int ReadMemory(int address, unsigned char* block);
    int WriteMemory(int address, const unsigned char* block);
    int ReadMemoryCRC16(int address, unsigned int size, std::uint16_t& crc);
    int ReadData(_read_data_reply_data* data, unsigned char command);
    int ReadRawData(unsigned char* data, std::uint16_t& length);

    // Where the lines of PrepareDataBuffer and of the upgrade sequence go, with their progress
    // (qel_event.h); null restores the default sink, which prints them. The sink is not owned.
    void SetEventSink(qel::EventSink* sink);

    // Opt-in ways back in step after a failed exchange; without them every failure stands as it
    // is. openRecord: the record the caller opens the channel with (not owned; null, the
    // default, never closes or opens it): the blind mode's device check then reconnects when the
    // device has dropped the connection. retries: 0 to 10 (default 0); a request whose reply is
    // lost or garbled on the line is sent again, with a new message id, up to this many times.
    // timing: the channel's line speed (not owned; may be null), so that with retries the wait
    // for a lost reply is what the line and the device need rather than the channel's time-out.
    void SetChannelOpenRecord(void* openRecord);
    void SetExchangeRetries(int retries);
    void SetLineTiming(ILineTiming* timing);

  private:
    friend class QelProtocolTestAccess;
    // Prepares objects for a download: the prepared image, the cancel flag, what was written.
    friend class qel::ProtocolBinding;

    // Where an exchange stopped; the page commands name the stage in their failure lines.
    enum class ExchangeStage { kDone, kWrite, kRead, kConvert, kCheck };

    // Shared frame operations.
    int CheckReply(unsigned char* data, char code, int length);
    int ConvertToBinary(unsigned char* output, const char* text);
    void ConvertToHexString(char* output, const unsigned char* bytes, int length);
    std::uint16_t Crc16(const unsigned char* bytes, int length);
    std::uint8_t Crc8(const unsigned char* bytes, int length, std::uint8_t seed);
    std::uint8_t GenMsgId();
    std::uint8_t MsgId();
    int HexCharToByte(char character, unsigned char& value);
    int Hex2CharToByte(const char* characters, unsigned char& value);

    // Request/reply exchange. BeginFrame advances the message id and writes the frame's first
    // four bytes. SendFrame appends the CRC16 to the frameLength-byte frame (its last two bytes),
    // notifies the window when asked and writes the text and the CR. Exchange does all of one
    // command: send, read 2 * replyLength + 1 characters, notify, convert into reply (which holds
    // replyLength + 1 bytes) and check the reply against the frame's command code.
    void BeginFrame(unsigned char* frame, unsigned char command);
    int SendFrame(unsigned char* frame, int frameLength, bool notify);
    void NotifyReply(int replyCode, char* text);
    int Exchange(unsigned char* frame, int frameLength, unsigned char* reply, int replyLength,
                 bool notify, int notifiedReplyCode, ExchangeStage* stage);
    int ExchangeOnce(unsigned char* frame, int frameLength, unsigned char* reply, int replyLength,
                     bool notify, int notifiedReplyCode, ExchangeStage& stage);

    // Back in step after a failure (line_recovery.cpp). ReadReply reads the reply text of
    // `characters` (CR included) to a request of requestCharacters the plain way, or, while the
    // line is out of step, line by line until one is the reply to the request just sent.
    // RecoversAfterFailure: whether a failed exchange is followed by the way back (the blind mode,
    // or retries). LineWaitMs: how long the reply to a request of that many characters may take on
    // a line of known speed.
    int ReadReply(char* text, int characters, int requestCharacters, unsigned char command);
    int ReadReplyInStep(char* text, int characters);
    bool RecoversAfterFailure() const;
    int LineWaitMs(int requestCharacters, int replyCharacters, unsigned char command) const;
    void NoteAnswer(unsigned char command, int result, bool paced, std::int64_t tookMs);
    void ReportRetry(const unsigned char* frame, int code, int retry);
    // Closes and opens the channel with the caller's record; 0, or the failure of Open (and
    // kErrArgument without a record).
    int Reconnect();
    // The second half of an exchange: the reply to the request with command and messageId, of
    // requestCharacters on the line (its CR included).
    int ReceiveReply(unsigned char command, std::uint8_t messageId, int requestCharacters,
                     unsigned char* reply, int replyLength, bool notify, int notifiedReplyCode,
                     ExchangeStage& at);
    // The channel's Write and Read, counting the characters that went over the line.
    int WriteToLine(char* data, int length);
    int ReadFromLine(char* buffer, int length);

    // The configuration and clock blocks: one exchange each way, the block moved byte for byte.
    template <typename Block>
    int ReadBlock(unsigned char command, Block* block);
    template <typename Block>
    int WriteBlock(unsigned char command, const Block* block);

    // An exchange of the upgrade sequence: no trace notifications, a "DBG: <name> Failed. ..."
    // line that names the step that failed, and the status byte tested (5007).
    int ReportedExchange(unsigned char* frame, int frameLength, unsigned char* reply,
                         int replyLength, const char* name);
    // What ReportedExchange says about an exchange that ended with result at stage.
    int ReportOutcome(int result, ExchangeStage stage, const unsigned char* reply,
                      unsigned char command, std::uint32_t address, const char* name);
    // An exchange whose reply has a status byte, tested (5007). With a reportedName it reports as
    // the upgrade sequence does (ReportedExchange); without one it notifies the trace window.
    int StatusExchange(unsigned char* frame, int frameLength, unsigned char* reply, int replyLength,
                       const char* reportedName);

    // The transfers that the page commands, the memory commands and the CRC16 verification
    // share, reporting as StatusExchange does. SendBlock writes one 256-byte block (0x18).
    // FetchRecordContent sends a request whose memory record asks for the content of a block
    // (0x1A) or for the device's CRC16 of a range (0x1C), and copies the content of the reply's
    // record when that record echoes the request (else 5012 for a block, 5009 for a range).
    int SendBlock(int address, const unsigned char* block, const char* reportedName);
    void BuildBlockFrame(unsigned char* frame, int address, const unsigned char* block);
    int FetchRecordContent(unsigned char command, std::uint32_t address, std::uint32_t length,
                           unsigned char* content, int contentBytes, const char* reportedName);
    int FetchRangeCrc(std::uint32_t address, std::uint32_t size, std::uint16_t* crc,
                      const char* reportedName);

    // Page and reset commands of the upgrade sequence.
    int ClearPage(int address);
    int WritePage(int address);
    int ReadPage(int address, unsigned char* page);
    int ResetDevice();

    // Pages the device holds already (m_skipEqualPages): the compare before the header page is
    // cleared, and which pages it leaves to write. Without a compare every page is written.
    int ComparePages();
    bool AnythingToWrite() const;
    bool PageToWrite(std::uint32_t address) const;
    // The first page from from on that is to be written, or imageEnd.
    std::uint32_t NextPageToWrite(std::uint32_t from, std::uint32_t imageEnd) const;
    // The data pages from m_pageAddress on with up to m_pagesInFlight requests sent before their
    // replies have come; stops sending at the first failure and leaves m_pageAddress at that page.
    bool UsesPageWindow() const;
    int WritePagesInFlight(std::uint32_t imageEnd);
    int SendPageRequest(std::uint32_t address);

    // Upgrade sequence steps.
    int GetNextState(int state);
    int VerifyDownloadedDataWithCrc16Method();
    int VerifyDownloadedDataWithFullMethod();
    void ReportDifference(int position, unsigned char original, unsigned char uploaded);
    int CheckDeviceAlive(int* ec);
    // The blind mode's short way when an earlier attempt wrote and verified the image: true when
    // the device's CRC16 still matches it, so that the attempt goes straight to the reset.
    bool ImageStillInDevice();
    // One pass of Execute: the current state's step and its line, then, when the sequence goes on
    // after its result, the move to the next state. Returns the step's result (ec, unchanged when
    // the state has no step to run).
    int RunUpgradeStep(int ec, int* attempt);
    bool GoesOnAfter(int ec) const;
    bool Cancelled() const;

    // Events: the emitter with this object's sink and measures; a progress event for the phase,
    // which becomes the phase of the lines that follow; the same only when the phase changes.
    qel::EventEmitter Events() const;
    void ReportProgress(int phase, int done, int total);
    void EnterPhase(int phase, int done, int total);
    int DataPagesDone() const;
    int DataPages() const;

    int ExtractRawData(unsigned char* reply, unsigned char (&data)[1024], std::uint16_t& length);
    void DrainCharacters(int characters);

    unsigned char* m_dataBuffer;
    ICommChannel* m_channel;
    std::int32_t m_verifyMethod;
    std::int32_t m_runMode;
    std::uint32_t m_pageAddress;
    std::int32_t m_upgradeState;
    std::int32_t m_dataSize;
    std::uint8_t m_msgId;
    HWND m_hwnd;

    // Added after the fields above: where events go and what they measure.
    qel::EventSink* m_eventSink;        // null: the default sink
    const std::atomic<bool>* m_cancel;  // set by a download, checked between steps
    std::uint64_t m_lineBytes;          // characters written and read since Execute began
    std::int64_t m_measuresOriginMs;    // steady-clock time when Execute (or the object) began
    std::int32_t m_phase;               // phase of the step that runs (qel_phase)
    std::int32_t m_pagesWritten;        // pages of the image written since ResetUpgrade
    void* m_openRecord;                 // the caller's open record, or null: never reopen
    ILineTiming* m_lineTiming;          // the channel's line speed, or null
    std::int32_t m_exchangeRetries;     // a failed exchange is sent again this many times
    bool m_lineOutOfStep;               // a failed exchange may have left a reply on the line
    // Per command: how long the device may take to answer beyond the line's time, learnt from its
    // answers; 0 until it has answered that command once (then the channel's time-out holds).
    std::array<std::int32_t, 128> m_answerAllowanceMs;
    bool m_imageVerified;  // this image was written and verified in the device

    // Set by a download: how pages are sent.
    bool m_skipEqualPages;                     // compare first, write only the pages that differ
    std::int32_t m_pagesInFlight;              // page writes sent ahead of their replies, 1 or more
    std::vector<std::uint8_t> m_pagesToWrite;  // after a compare, 1 per page to write
    std::int32_t m_pagesSkipped;               // pages the last compare found equal and left
};
