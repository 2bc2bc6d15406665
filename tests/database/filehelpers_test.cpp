// The file helpers of the settings restore, on unit paths inside an image.
#include "filehelpers.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_image.h"

namespace {

TEST(FileHelpers, SizeAndCopyReportTheirOutcome) {
  orvix::testing::TempImage image;
  EXPECT_EQ(getFileSize("/var/lib/orvix/saveFile"), -1);
  image.writeFile("/var/lib/orvix/saveFile.bak", std::string(5000, 'b'));
  EXPECT_EQ(getFileSize("/var/lib/orvix/saveFile.bak"), 5000);

  testing::internal::CaptureStdout();
  copyFile("/var/lib/orvix/saveFile.bak", "/var/lib/orvix/saveFile");
  copyFile("/var/lib/orvix/absent", "/var/lib/orvix/saveFile");
  copyFile("/var/lib/orvix/saveFile.bak", "/no/such/dir/saveFile");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "File copied successfully.\nFailed to open the source file.\nFailed to create the destination file.\n");
  EXPECT_EQ(image.readFile("/var/lib/orvix/saveFile"), std::string(5000, 'b'));
}

}  // namespace
