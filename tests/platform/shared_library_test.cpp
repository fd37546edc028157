// Loading a shared library: found, missing, not a library; symbols present and missing.
#include "platform/shared_library.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace platform {
namespace {

TEST(SharedLibrary, ResolvesExportedFunctionsAndReportsMissingOnes) {
  LibraryOpen opened = SharedLibrary::Open(PLATFORM_TEST_LIBRARY);
  ASSERT_TRUE(opened) << opened.detail;
  EXPECT_EQ(opened.error, LibraryError::kNone);
  auto* answer = opened.library->Function<int(int)>("PlatformTestAnswer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(20), 41);
  EXPECT_EQ(opened.library->Symbol("M16Upd_Init"), nullptr);
}

TEST(SharedLibrary, TellsAMissingLibraryFromOneThatCannotBeLoaded) {
  char pattern[] = "/tmp/library-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string text = dir + "/libtext.so";
  std::ofstream(text) << "no ELF here\n";

  struct Case {
    std::string name;
    LibraryError error;
  };
  for (const Case& c : {Case{dir + "/libabsent.so", LibraryError::kNotFound},
                        Case{"libAbsentForSure1234.so", LibraryError::kNotFound},
                        Case{text, LibraryError::kNotLoadable}}) {
    const LibraryOpen opened = SharedLibrary::Open(c.name);
    EXPECT_FALSE(opened) << c.name;
    EXPECT_EQ(opened.error, c.error) << c.name;
    EXPECT_FALSE(opened.detail.empty()) << c.name;
  }
  ::unlink(text.c_str());
  ::rmdir(dir.c_str());
}

}  // namespace
}  // namespace platform
