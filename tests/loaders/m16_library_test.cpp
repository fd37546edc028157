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
