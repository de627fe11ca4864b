#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "help_request.h"
#include "option_table.h"

namespace {

using Arguments = std::vector<std::string>;

constexpr cli::OptionSpec kTable[] = {{"/i=", 5}, {"/l", 0}, {"/log=", 20}};

TEST(OptionTable, KeepsEveryValueInOrderAndHandsOnTheRest) {
    Arguments unmatched;
    const cli::ParsedOptions options = cli::ParseOptions(
        kTable, {"/I=10.0.0.1", "/L", "/log=Dir", "/i=", "/l=1", "/lx", "read"},
        [&unmatched](const std::string& argument) { unmatched.push_back(argument); });
    // A value is cut to its capacity and keeps its case; an option given twice keeps both.
    EXPECT_EQ(options.Values("/i="), (Arguments{"10.0.", ""}));
    EXPECT_EQ(options.Value("/i="), "");
    EXPECT_TRUE(options.Given("/l"));
    EXPECT_EQ(options.Value("/log="), "Dir");
    // A switch matches only the whole argument.
    EXPECT_EQ(unmatched, (Arguments{"/l=1", "/lx", "read"}));
    EXPECT_FALSE(options.Given("/x="));
    EXPECT_TRUE(options.Values("/x=").empty());
}

TEST(HelpRequest, IsNoArgumentsOrOneOfTheHelpFormsAnywhere) {
    EXPECT_TRUE(cli::WantsUsage({}));
    for (const char* form : {"/?", "-h", "-H", "--help", "--HELP"}) {
        EXPECT_TRUE(cli::WantsUsage({"/c=tcp", form})) << form;
    }
    EXPECT_FALSE(cli::WantsUsage({"/c=tcp", "-help", "/h", "help"}));
}

}  // namespace
