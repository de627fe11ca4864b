#include <gtest/gtest.h>

#include <string>

#include "input_file.h"
#include "temp_dir.h"

namespace {

using Status = cli::BoundedInput::Status;

#ifndef _WIN32
TEST(InputFile, AnEndlessDeviceIsReadNoFurtherThanTheBound) {
    const cli::BoundedInput zeros = cli::ReadInputFile("/dev/zero", 100000);
    EXPECT_EQ(zeros.status, Status::kRead);
    EXPECT_EQ(zeros.kind, cli::InputKind::kCharacterDevice);
    EXPECT_EQ(zeros.bytes, std::vector<std::uint8_t>(100000, 0));
    EXPECT_TRUE(zeros.moreBeyond);

    const cli::BoundedInput nothing = cli::ReadInputFile("/dev/null", 10);
    EXPECT_EQ(nothing.status, Status::kRead);
    EXPECT_TRUE(nothing.bytes.empty());
    EXPECT_FALSE(nothing.moreBeyond);
}
#endif

TEST(InputFile, ADirectoryIsRefusedAndAMissingFileCannotBeRead) {
    const TempDir folder;
    const std::string directory = folder.Path();
    const cli::BoundedInput refused = cli::ReadInputFile(directory, 10);
    EXPECT_EQ(refused.status, Status::kNotReadable);
    EXPECT_EQ(cli::NotReadableReason(refused.kind),
              "is a directory; only regular files and character devices can be read");

    const cli::BoundedInput missing = cli::ReadInputFile(directory + "/no/such/file", 10);
    EXPECT_EQ(missing.status, Status::kCannotRead);
    EXPECT_EQ(missing.kind, cli::InputKind::kMissing);
}

}  // namespace
