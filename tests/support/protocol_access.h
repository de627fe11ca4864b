// Reaches QelProtocol's private members from tests.
#pragma once

#include "qel_protocol.h"

class QelProtocolTestAccess {
  public:
    explicit QelProtocolTestAccess(QelProtocol& protocol) : m_protocol(protocol) {}

    std::uint8_t GenMsgId() { return m_protocol.GenMsgId(); }
    std::uint8_t MsgId() { return m_protocol.MsgId(); }
    void SetMsgId(std::uint8_t id) { m_protocol.m_msgId = id; }
    int CheckReply(unsigned char* data, char code, int length) {
        return m_protocol.CheckReply(data, code, length);
    }
    // One exchange of a request without payload for command, with trace notifications.
    int BareExchange(unsigned char command, unsigned char* reply, int replyLength, bool notify) {
        unsigned char frame[6];
        m_protocol.BeginFrame(frame, command);
        return m_protocol.Exchange(frame, 6, reply, replyLength, notify, command + 0x80, nullptr);
    }
    int ClearPage(int address) { return m_protocol.ClearPage(address); }
    int WritePage(int address) { return m_protocol.WritePage(address); }
    int ReadPage(int address, unsigned char* page) { return m_protocol.ReadPage(address, page); }
    int ResetDevice() { return m_protocol.ResetDevice(); }
    int GetNextState(int state) { return m_protocol.GetNextState(state); }
    int VerifyCrc16() { return m_protocol.VerifyDownloadedDataWithCrc16Method(); }
    int VerifyFull() { return m_protocol.VerifyDownloadedDataWithFullMethod(); }
    int ExtractRawData(unsigned char* reply, unsigned char (&data)[1024], std::uint16_t& length) {
        return m_protocol.ExtractRawData(reply, data, length);
    }

    const unsigned char* DataBuffer() const { return m_protocol.m_dataBuffer; }
    std::int32_t DataSize() const { return m_protocol.m_dataSize; }
    std::uint32_t PageAddress() const { return m_protocol.m_pageAddress; }
    void SetPageAddress(std::uint32_t address) { m_protocol.m_pageAddress = address; }
    std::int32_t UpgradeState() const { return m_protocol.m_upgradeState; }
    void SetUpgradeState(std::int32_t state) { m_protocol.m_upgradeState = state; }
    ICommChannel* Channel() const { return m_protocol.m_channel; }
    std::int32_t VerifyMethod() const { return m_protocol.m_verifyMethod; }
    std::int32_t RunMode() const { return m_protocol.m_runMode; }
    HWND Window() const { return m_protocol.m_hwnd; }
    void SetPageSending(bool skipEqualPages, int pagesInFlight) {
        m_protocol.m_skipEqualPages = skipEqualPages;
        m_protocol.m_pagesInFlight = pagesInFlight;
    }
    std::int32_t PagesSkipped() const { return m_protocol.m_pagesSkipped; }
    std::int32_t PagesWritten() const { return m_protocol.m_pagesWritten; }

  private:
    QelProtocol& m_protocol;
};
