// The dead time pairs each reply's end with the updater's next bytes only.
#include <gtest/gtest.h>

#include "sim/dead_time.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

TEST(DeadTime, MedianOfTheGapsFromEachReplyToTheNextBytes) {
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
  EXPECT_EQ(dead.Samples(), 3u);
  EXPECT_EQ(dead.Median(), milliseconds(3));
}

}  // namespace
}  // namespace sim
