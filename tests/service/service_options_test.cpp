#include <gtest/gtest.h>

#include "service_options.h"

namespace {

using service::ParseServiceOptions;
using Arguments = std::vector<std::string>;

TEST(ServiceOptions, MatchLettersInAnyCaseAndKeepTheValuesAsTyped) {
    const auto options =
        ParseServiceOptions({"/C=Tcp", "/i=127.0.0.1", "/P=0x10", "/d=/dev/ttyUSB0", "/JSON",
                             "Read-Mem", "0x40000", "16", "/tmp/Image.BIN"});
    EXPECT_EQ(options.values.Value("/c="), "Tcp");
    EXPECT_EQ(options.values.Value("/i="), "127.0.0.1");
    EXPECT_EQ(options.values.Value("/p="), "0x10");
    EXPECT_EQ(options.values.Value("/d="), "/dev/ttyUSB0");
    EXPECT_TRUE(options.json);
    EXPECT_FALSE(options.help);
    EXPECT_EQ(options.command, "read-mem");
    EXPECT_EQ(options.operands, (Arguments{"0x40000", "16", "/tmp/Image.BIN"}));
    EXPECT_TRUE(options.unknown.empty());
}

TEST(ServiceOptions, TakeOptionsAfterTheCommandAndReportUnknownOnes) {
    const auto options = ParseServiceOptions({"reset", "/p=5", "/x=1", "/verbose"});
    EXPECT_EQ(options.values.Value("/p="), "5");
    EXPECT_EQ(options.command, "reset");
    // After the command a bare /-argument is an operand, such as an absolute path.
    EXPECT_EQ(options.unknown, (Arguments{"/x=1"}));
    EXPECT_EQ(options.operands, (Arguments{"/verbose"}));
    EXPECT_EQ(ParseServiceOptions({"/verbose", "reset"}).unknown, (Arguments{"/verbose"}));
}

TEST(ServiceOptions, AskForTheUsageTextWithNoArgumentsOrAHelpRequest) {
    EXPECT_TRUE(ParseServiceOptions({}).help);
    EXPECT_TRUE(ParseServiceOptions({"/c=tcp", "--HELP"}).help);
    // A help request is neither the command nor an unknown option.
    EXPECT_EQ(ParseServiceOptions({"-h", "reset"}).command, "reset");
    EXPECT_TRUE(ParseServiceOptions({"/?", "reset"}).unknown.empty());
}

}  // namespace
