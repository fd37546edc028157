// The dead time pairs each reply's end with the updater's next bytes only.
#include <gtest/gtest.h>

#include "sim/dead_time.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

TEST(DeadTime, GapsFromEachReplyToTheNextBytes) {
  DeadTime dead;
  const DeadTime::RealTime t0{};
  EXPECT_FALSE(dead.Median());
  dead.BytesArrived(t0);  // no reply before: not a gap
  dead.ReplyEnded(t0 + milliseconds(10));
  dead.BytesArrived(t0 + milliseconds(13));
  dead.BytesArrived(t0 + milliseconds(14));  // the rest of the same frame
  dead.ReplyEnded(t0 + milliseconds(20));
  dead.BytesArrived(t0 + milliseconds(19));  // the updater did not wait for the last byte
  dead.ReplyEnded(t0 + milliseconds(30));
  dead.BytesArrived(t0 + milliseconds(38));
  EXPECT_EQ(dead.AtLeast(std::chrono::nanoseconds::min()).count, 3u);
  EXPECT_EQ(dead.Median(), milliseconds(3));
  EXPECT_EQ(dead.AtLeast(milliseconds(3)).count, 2u);
  EXPECT_EQ(dead.AtLeast(milliseconds(3)).total, milliseconds(11));
  // Only the gaps that lie wholly in the window.
  EXPECT_EQ(dead.Median({t0 + milliseconds(25), t0 + milliseconds(40)}), milliseconds(8));
  EXPECT_EQ(dead.AtLeast(std::chrono::nanoseconds::min(), {t0 + milliseconds(11), t0 + milliseconds(40)}).count, 2u);
}

}  // namespace
}  // namespace sim
