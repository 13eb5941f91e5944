// The 2D passes on every renderer: a test picture laid over the frame, the
// frame blurred in a target of its own size, and the glow chain (copied,
// shrunk, blurred, the sharp copy drawn back and the glow added) come out of
// the modern and es renderers within one level of the classic renderer's.
// These are texture copies and the blur program, with no lighting or
// generated coordinates to differ by.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "draw/draw.h"
#include "draw/renderer.h"
#include "gfx/glow.h"
#include "gfx/overlay.h"
#include "gfx/render_target.h"
#include "platform/gl_window.h"

namespace demo::test {
namespace {

using draw::Renderer;

// 256 x 256 RGB: a gradient, a checkerboard of 8-pixel squares and a few
// single bright pixels, so blurs and shrinking have edges and points to
// spread.
std::vector<uint8_t> testPicture() {
  std::vector<uint8_t> rgb(256u * 256u * 3u);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint8_t *p = &rgb[(static_cast<size_t>(y) * 256u + static_cast<size_t>(x)) * 3u];
      const bool square = ((x / 8) + (y / 8)) % 2 == 0;
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(square ? 200 : 40);
      p[2] = static_cast<uint8_t>(y);
      if (x % 61 == 7 && y % 53 == 11)
        p[0] = p[1] = p[2] = 255;
    }
  return rgb;
}

enum class Pass { Picture, Blur, GlowChain };

// The frame after `pass`, drawn by `renderer` in a window of its own.
std::vector<uint8_t> frameAfter(Renderer renderer, Pass pass) {
  const std::unique_ptr<GLWindow> window = openHeadlessWindow(renderer);
  if (!window->isOpen())
    return {};
  const std::vector<uint8_t> picture = testPicture();
  const uint32_t texture = draw::createTexture();
  draw::textureImage(0, draw::PixelFormat::Rgb8, 256, 256, draw::PixelFormat::Rgb8, picture.data());
  draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::Linear);
  draw::textureParameter(draw::TextureParam::MagFilter, draw::TextureValue::Linear);

  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth);
  draw::enable(draw::Cap::Texture2D);
  draw::bindTexture(texture);
  draw::colour(1.f, 1.f, 1.f, 1.f);
  drawFullScreenQuad();
  draw::disable(draw::Cap::Texture2D);

  RenderTarget screen(kBaseFrameWidth, kBaseFrameHeight);
  RenderTarget small(256, 256);
  if (pass == Pass::Blur) {
    screen.copyFromScreen();
    screen.blur(2, 2, 1.f, 1.2f);
  } else if (pass == Pass::GlowChain) {
    GlowPass(screen, small, {3, 3, 1.f, 1.2f}, {0.9f, 0.9f, 1.f, 1.f}).run();
  }
  std::vector<uint8_t> rgb;
  window->readPixels(rgb);
  EXPECT_EQ(window->debugErrors(), 0u) << draw::rendererName(renderer);
  draw::deleteTexture(texture);
  return rgb;
}

// frameAfter in a child process: the blur programs are built once per
// process for its one GL context, so each renderer gets a process of its
// own, as the show does. Empty when the child failed.
std::vector<uint8_t> frameInItsOwnProcess(Renderer renderer, Pass pass) {
  char path[] = "/tmp/renderer-pass-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0)
    return {};
  close(fd);
  const pid_t child = fork();
  if (child == 0) {
    const std::vector<uint8_t> rgb = frameAfter(renderer, pass);
    FILE *out = std::fopen(path, "wb");
    const bool written = out && !rgb.empty() && std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    if (out)
      std::fclose(out);
    _exit(written && !::testing::Test::HasFailure() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::vector<uint8_t> rgb;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    FILE *in = std::fopen(path, "rb");
    if (in) {
      rgb.resize(800u * 600u * 3u);
      rgb.resize(std::fread(rgb.data(), 1, rgb.size(), in));
      std::fclose(in);
    }
  }
  std::remove(path);
  return rgb;
}

int largestDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  int largest = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    largest = std::max(largest, std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i])));
  return largest;
}

TEST(RendererPassesGL, ThePictureItsBlurAndTheGlowChainAreClassicsWithinOneLevel) {
  for (Pass pass : {Pass::Picture, Pass::Blur, Pass::GlowChain}) {
    const char *name = pass == Pass::Picture ? "picture" : pass == Pass::Blur ? "blur" : "glow chain";
    const std::vector<uint8_t> classic = frameInItsOwnProcess(Renderer::Classic, pass);
    ASSERT_EQ(classic.size(), 800u * 600u * 3u) << name;
    // Something was drawn: the pass is not compared on a black frame.
    ASSERT_GT(largestDifference(classic, std::vector<uint8_t>(classic.size(), 0)), 100) << name;
    for (Renderer other : {Renderer::Modern, Renderer::Es}) {
      const std::vector<uint8_t> frame = frameInItsOwnProcess(other, pass);
      ASSERT_EQ(frame.size(), classic.size()) << name << ", " << draw::rendererName(other);
      const int largest = largestDifference(classic, frame);
      std::printf("%s on %s: largest difference from classic %d\n", name, draw::rendererName(other), largest);
      EXPECT_LE(largest, 1) << name << ", " << draw::rendererName(other);
    }
  }
}

} // namespace
} // namespace demo::test
