// The channel over a serial port at 115200 8N1, through the serial library CComms.
#pragma once

#include <string>

#include "comm_channel.h"
#include "comms.h"
#include "event_sink.h"
#include "qel_export.h"

class QEL_API SerialChannel : public ICommChannel, public ILineTiming {
  public:
    SerialChannel();
    // Opens devicePath (e.g. /dev/ttyUSB0, or COM10 on Windows) instead of the port named by the
    // open-parameter record; the record's port is still printed and passed on.
    explicit SerialChannel(const char* devicePath);
    SerialChannel(const SerialChannel& other);
    SerialChannel(SerialChannel&& other);
    SerialChannel& operator=(const SerialChannel& other);
    SerialChannel& operator=(SerialChannel&& other);
    ~SerialChannel();

    int Open(void* params) override;
    void Close() override;
    int Write(char* data, int length) override;
    int Read(char* buffer, int length) override;

    // 115200 baud, 10 bits a character.
    int CharactersPerSecond() override;
    int ReadTimeout() override;
    void SetReadTimeout(int milliseconds) override;

    // Where Open reports the port it initialises (an info event, phase OPEN); null restores the
    // default sink, which prints it. The sink is not owned.
    void SetEventSink(qel::EventSink* sink);

  private:
    friend class SerialChannelTestAccess;
    int ClearBuffers(CComms& comms);

    CComms m_comms;
    qel::EventSink* m_eventSink = nullptr;
    int m_readTimeoutMs = 0;  // as the open record gave it, or as set since
};
