// A station run of the real Orvane against several real qel-sim processes, one of them lying
// about its CRC16.
#include "e2e_fixture.h"

namespace e2e {
namespace {

TEST_F(EndToEnd, StationDownloadsIntoEveryDeviceAndNamesTheFaultyOne) {
    const std::vector<std::vector<std::string>> faults = {{}, {"--lie-crc"}, {}};
    std::vector<std::string> arguments = {"/c=tcp", "/f=" + Example("blinky.hex"),
                                          "/log=" + m_dir.Path("logs")};
    std::vector<std::string> names;
    for (int i = 0; i < static_cast<int>(faults.size()); ++i) {
        const std::string port = StartSimulator(faults[i], false, i);
        ASSERT_FALSE(port.empty());
        names.push_back("127.0.0.1:" + port);
        arguments.push_back("/i=" + names.back());
    }
    const ProgramRun run = RunOrvane(arguments, 60s);

    EXPECT_EQ(run.exitStatus, 3) << run.output;
    const auto image = ExpectedApplicationImage(Example("blinky.hex"));
    ExpectImageInMemory(StopSimulatorAndReadMemory(0), image);
    ExpectImageInMemory(StopSimulatorAndReadMemory(2), image);
    // A device's name stands only at the start of a line, never inside another device's line.
    for (const std::string& name : names) {
        EXPECT_EQ(Count(run.output, "[" + name + "]"), Count(run.output, "\n[" + name + "]"));
        EXPECT_TRUE(Contains(run.output, "\n[" + name + "] Transmitte Data. Attempt #1."));
    }
    EXPECT_TRUE(Contains(run.output, "\n" + names[1] + "  wrong_image  5008")) << run.output;
    EXPECT_TRUE(Contains(run.output, "\n1 of 3 devices failed.\n")) << run.output;
    const std::string liarLog =
        ReadFileText(m_dir.Path("logs/127.0.0.1_" + names[1].substr(10) + ".log"));
    EXPECT_TRUE(Contains(liarLog, "\nERROR: CRC16 of uploaded Application Image is incorrect."))
        << liarLog;
}

}  // namespace
}  // namespace e2e
