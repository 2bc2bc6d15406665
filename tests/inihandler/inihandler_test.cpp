#include "inihandler/inihandler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "temp_image.h"

namespace {

using orvix::testing::TempImage;

struct IniDeleter {
  void operator()(INIFile* ini) const { ini_destroy(ini); }
};
using IniPtr = std::unique_ptr<INIFile, IniDeleter>;

std::string valueOf(INIFile* ini, const char* key) {
  char value[kIniFieldSize] = "<missing>";
  ini_get_string(ini, key, value, sizeof value);
  return value;
}

class IniTest : public ::testing::Test {
 protected:
  IniPtr read(const std::string& contents, int expectedResult = 1) {
    image_.writeFile("/var/lib/orvix/test.ini", contents);
    IniPtr ini(ini_create());
    EXPECT_EQ(ini_read_file(ini.get(), "/var/lib/orvix/test.ini"), expectedResult);
    return ini;
  }
  TempImage image_;
};

TEST_F(IniTest, EveryLineShape) {
  ::testing::internal::CaptureStdout();
  IniPtr ini = read(
      "# comment = not a key\n"
      "\n"
      "   \t  \r\n"
      "\v\n"
      " \f \n"
      "  plain=value\n"
      "\tspaced   =   padded value  \t\r\n"
      "=no key\n"
      "hash=a#b\n"
      "twice=first\n"
      "twice=second\n"
      "equals=a=b\n"
      "  #indented comment=1\n");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(ini->size, 6u);
  EXPECT_EQ(valueOf(ini.get(), "plain"), "value");
  EXPECT_EQ(valueOf(ini.get(), "spaced"), "padded value");
  EXPECT_EQ(valueOf(ini.get(), "hash"), "a#b");
  EXPECT_EQ(valueOf(ini.get(), "twice"), "first");
  EXPECT_EQ(valueOf(ini.get(), "equals"), "a=b");
  EXPECT_EQ(valueOf(ini.get(), ""), "<missing>");
}

TEST_F(IniTest, MalformedLinesStopTheReadButKeepWhatCameBefore) {
  for (const char* bad : {"[section]\n", "key=\n", "key=   \n", "key\n"}) {
    ::testing::internal::CaptureStdout();
    IniPtr ini = read(std::string("good=1\n\n") + bad + "after=2\n", 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Invalid line format at line 3.\n") << bad;
    EXPECT_EQ(ini->size, 1u);
    EXPECT_EQ(valueOf(ini.get(), "after"), "<missing>");
  }
  ::testing::internal::CaptureStdout();
  IniPtr ini(ini_create());
  EXPECT_EQ(ini_read_file(ini.get(), "/var/lib/orvix/missing.ini"), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error opening file: /var/lib/orvix/missing.ini\n");
}

TEST_F(IniTest, IntegersTakeTheLeadingNumber) {
  IniPtr ini = read("port=1502\nmixed=42abc\nletters=abc\nnegative=-7\n");
  int value = 99;
  EXPECT_EQ(ini_get_int(ini.get(), "port", &value), 1);
  EXPECT_EQ(value, 1502);
  EXPECT_EQ(ini_get_int(ini.get(), "mixed", &value), 1);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(ini_get_int(ini.get(), "letters", &value), 1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(ini_get_int(ini.get(), "negative", &value), 1);
  EXPECT_EQ(value, -7);
  value = 99;
  EXPECT_EQ(ini_get_int(ini.get(), "absent", &value), 0);
  EXPECT_EQ(value, 99);
}

TEST_F(IniTest, LongFieldsAreCutNotOverrun) {
  const std::string longKey(150, 'k');
  const std::string longValue(40, 'v');
  IniPtr ini = read(longKey + "=" + longValue + "\n");
  ASSERT_EQ(ini->size, 1u);
  EXPECT_EQ(std::string(ini->data[0].key), longKey.substr(0, kIniFieldSize - 1));
  char small[8];
  ini_get_string(ini.get(), ini->data[0].key, small, sizeof small);
  EXPECT_STREQ(small, "vvvvvvv");
}

TEST_F(IniTest, ChangesAreWrittenBackInOrderAndAtomically) {
  IniPtr ini = read("b=1\na=2\n");
  EXPECT_EQ(ini_set_string(ini.get(), "a", "changed"), 1);
  EXPECT_EQ(ini_set_int(ini.get(), "c", -12), 1);
  EXPECT_EQ(ini_write_file(ini.get(), "/var/lib/orvix/out.ini"), 1);
  EXPECT_EQ(image_.readFile("/var/lib/orvix/out.ini"), "b = 1\na = changed\nc = -12\n");
  EXPECT_EQ(file_exists("/var/lib/orvix/out.ini.tmp"), 0);
  EXPECT_EQ(file_exists("/var/lib/orvix/out.ini"), 1);
  EXPECT_EQ(file_exists("/var/lib/orvix/none.ini"), 0);

  IniPtr again(ini_create());
  EXPECT_EQ(ini_read_file(again.get(), "/var/lib/orvix/out.ini"), 1);
  EXPECT_EQ(valueOf(again.get(), "a"), "changed");
  EXPECT_EQ(ini_write_file(ini.get(), "/no/such/dir/out.ini"), 0);
}

TEST(IniTrim, TrimsBothEnds) {
  char text[] = " \t key \t\r\n";
  trim_whitespace(text);
  EXPECT_STREQ(text, "key");
  char empty[] = " \t ";
  trim_whitespace(empty);
  EXPECT_STREQ(empty, "");
  ini_destroy(nullptr);
}

}  // namespace
