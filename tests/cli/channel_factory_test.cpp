#include <gtest/gtest.h>

#include <string>

#include "channel_factory.h"
#include "fake_channel.h"
#include "serial_channel.h"

#ifndef _WIN32
#include "pty_pair.h"
#endif

namespace {

// Counts its destructions, which a channel destroyed through ICommChannel would skip.
class CountedChannel : public FakeChannel {
  public:
    explicit CountedChannel(int& destroyed) : m_destroyed(destroyed) {}
    ~CountedChannel() { ++m_destroyed; }

  private:
    int& m_destroyed;
};

TEST(OwnedChannel, IsDestroyedThroughItsOwnClassAndABorrowedOneNotAtAll) {
    int destroyed = 0;
    {
        cli::OwnedChannel owned = cli::MakeOwnedChannel<CountedChannel>(destroyed);
        EXPECT_EQ(owned->Open(nullptr), 0);
    }
    EXPECT_EQ(destroyed, 1);
    CountedChannel kept(destroyed);
    {
        const cli::OwnedChannel borrowed = cli::BorrowChannel(kept);
        EXPECT_EQ(borrowed.get(), &kept);
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(cli::NoChannel());
}

#ifndef _WIN32
TEST(LibraryChannel, DevicePathIsOpenedInsteadOfTheComPort) {
    PtyPair terminal;
    ASSERT_TRUE(terminal.IsOpen());
    cli::ChannelSettings settings;
    settings.port = 200;  // no such COM port on the machine
    _serial_open_params params{settings.port, 1000};

    // The channel reports its port as it opens; keep that out of the test log.
    testing::internal::CaptureStdout();
    const cli::OwnedChannel byPort = cli::MakeLibraryChannel(settings);
    ASSERT_NE(dynamic_cast<SerialChannel*>(byPort.get()), nullptr);
    EXPECT_NE(byPort->Open(&params), 0);
    byPort->Close();

    settings.device = terminal.SlavePath();
    const cli::OwnedChannel byPath = cli::MakeLibraryChannel(settings);
    ASSERT_NE(dynamic_cast<SerialChannel*>(byPath.get()), nullptr);
    EXPECT_EQ(byPath->Open(&params), 0);
    byPath->Close();
    testing::internal::GetCapturedStdout();
}
#endif

}  // namespace
