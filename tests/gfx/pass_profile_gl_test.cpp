// Per-pass timings: time goes to the innermost open pass, and nothing is
// counted while the profile is off.
#include <chrono>
#include <thread>

#include "gfx/pass_profile.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

class PassProfileGL : public GLTest {
protected:
  void TearDown() override {
    PassProfile::enable(false);
    PassProfile::reset();
    GLTest::TearDown();
  }
  static double total(const char *name) {
    for (const auto &pass : PassProfile::totals())
      if (pass.first == name)
        return pass.second;
    return -1.0;
  }
};

TEST_F(PassProfileGL, TimeGoesToTheInnermostPassAndNothingWhileOff) {
  {
    const ScopedPass off("off");
  }
  EXPECT_TRUE(PassProfile::totals().empty());

  PassProfile::enable(true);
  {
    const ScopedPass outer("outer");
    {
      const ScopedPass inner("inner");
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
  }
  EXPECT_GE(total("inner"), 0.06);
  EXPECT_GE(total("outer"), 0.0);
  EXPECT_LT(total("outer"), total("inner")) << "the inner pass's time is not the outer's too";
  ASSERT_EQ(PassProfile::totals().size(), 2u);
  EXPECT_EQ(PassProfile::totals()[0].first, "outer") << "in the order the names first appeared";
}

} // namespace
} // namespace demo::test
