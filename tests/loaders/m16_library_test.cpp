// The updater library stand-in as the hand-off finds and uses it. A library
// once loaded stays in the process, so the lookup that must find none runs
// first, and this binary is the only one of the unit tests that loads it.
#include "loaders/m16_library.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hand_off_fixture.h"

namespace loaders {
namespace {

using test::ExternalToolsTest;
using test::Text;

TEST(M16LibraryLookup, NoneWithoutTheFileThenTheStandInWithEveryFunction) {
  EXPECT_FALSE(LoadM16Library({"/nonexistent"}));
  const M16Library found = LoadM16Library({"/nonexistent", STANDIN_DIR});
  ASSERT_TRUE(found);
  const M16Functions& f = found.functions;
  for (const void* function :
       {reinterpret_cast<const void*>(f.init), reinterpret_cast<const void*>(f.isBtlActive),
        reinterpret_cast<const void*>(f.clear), reinterpret_cast<const void*>(f.program),
        reinterpret_cast<const void*>(f.makeValid),
        reinterpret_cast<const void*>(f.exitAndStartApplication),
        reinterpret_cast<const void*>(f.deinit)}) {
    EXPECT_NE(function, nullptr);
  }
}

// Each of the two lookups on its own: a library with the decorated names
// alone, and one with the plain names alone, must each give every function
// (a misspelt name of either kind would leave one of them null).
TEST(M16LibraryLookup, DecoratedNamesAloneAndPlainNamesAloneEachGiveEveryFunction) {
  struct Build {
    const char* folder;
    const char* absentName;  // proves that the build holds one kind of name only
  };
  for (const Build& build : {Build{STANDIN_DECORATED_ONLY_DIR, "M16Upd_Init"},
                             Build{STANDIN_PLAIN_ONLY_DIR, "?M16Upd_Init@@YAHH@Z"}}) {
    const M16Library found = LoadM16Library({build.folder});
    ASSERT_TRUE(found) << build.folder;
    EXPECT_EQ(found.library->Symbol(build.absentName), nullptr) << build.folder;
    const M16Functions& f = found.functions;
    EXPECT_NE(f.init, nullptr) << build.folder;
    EXPECT_NE(f.isBtlActive, nullptr) << build.folder;
    EXPECT_NE(f.clear, nullptr) << build.folder;
    EXPECT_NE(f.program, nullptr) << build.folder;
    EXPECT_NE(f.makeValid, nullptr) << build.folder;
    EXPECT_NE(f.exitAndStartApplication, nullptr) << build.folder;
    EXPECT_NE(f.deinit, nullptr) << build.folder;
  }
}

TEST_F(ExternalToolsTest, ANameTooLongForTheLibraryIsRefusedNotCut) {
  const std::string name(80 - dir_.size() - 1, 'F');  // with the folder: 80 characters
  const LoaderContext context = services_.Context(line_, dir_);
  TExternalProgramming programming(context, port_, {STANDIN_DIR});
  EXPECT_EQ(programming.RunHexLoad(name.c_str()), 1);
  EXPECT_EQ(services_.view.boxes,
            std::vector<std::string>{Text(external::NameTooLongMessage(dir_ + "/" + name, 1))});
  EXPECT_EQ(port_.calls, (std::vector<std::string>{"Release", "Retake", "RestoreLine"}));
}

}  // namespace
}  // namespace loaders
