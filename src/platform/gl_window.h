// gl_window.h - the one window, its OpenGL context and the show's frame buffer.
//
// GLWindow opens an SDL2 window with the OpenGL context its renderer asks
// for (options.renderer: a compatibility context for the classic renderer,
// the show's own; 3.3 core for modern; ES 3.0 for es), makes the drawing
// backend of that renderer, and creates the offscreen frame buffer that the
// whole show draws into (800 x 600, or the size setFrameSize gives it at a
// render scale): colour RGB8 with no alpha (copies of the frame read alpha 1),
// depth 24 and stencil 8. On OpenGL ES the colour is RGBA8 instead (ES copies
// only the channels the frame has into a texture), its alpha set to 1 once
// whenever the buffer is made; the ES backend never writes alpha, so copies
// still read alpha 1.
// update() presents that picture, scaled into the real window with its
// aspect kept and black bars around it, so the show always sees exactly
// width x height pixels whatever the screen is.
//
// Use:
//   GLWindow window(800, 600, 32, true, "Demo");  // full screen
//   if (!window.isOpen()) return 1;                // a message was shown
//   while (!window.escapeDown() && window.update()) { ...draw a frame... }
//   window.close();
//
// Captures, benchmarks, tools and tests that draw without being seen open
// theirs with openHeadlessWindow() instead (below).
//
// Construction leaves the show's initial GL state: the frame buffer bound,
// glViewport(0, 0, width, height), depth test, GL_NORMALIZE and face culling
// on. Failures show the message of the failing step and leave the object half
// built (isOpen() false); nothing is retried. A visible window on a real
// display switches message boxes on as soon as the video driver is up (so a
// failure of its own set-up gets a box too) and owns every box from the
// moment it exists.
//
// options.display picks the screen (SDL's display index). One that does not
// exist is said in one line naming the screens there are, and the window
// opens on the first.
//
// update() takes every pending event. A window close or an Escape key press is
// the quit message: update() then returns false without presenting. A closed
// window stays closed: every later update() returns false too. inputPending()
// takes the events between two frames without presenting (a long catch-up
// asks it whether the viewer pressed something meanwhile); what it takes
// waits for takeKeys() and the next update() as if update() had taken it.
//
// The modern and es renderers ask for a debug context. Where it has KHR_debug
// (GL 4.3, or the extension; the ES one too), every error the GL reports, and
// any other message of high severity, is printed as it happens, one line on
// standard error ("quintervale: GL error: ..."), right after the call that
// caused it, and counted: debugErrors() says whether a run had any. The
// classic renderer keeps glGetError (show.h's reportGlError).
//
// What it does not do: play sound (the window knows nothing of the music),
// switch display modes (full screen is the desktop's own mode), or handle
// more than one window.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/frame_size.h"
#include "draw/draw.h"
#include "draw/renderer.h"

struct SDL_Window;

namespace demo {

// The keys a viewer uses besides Escape.
enum class ShowKey { Space, Left, Right, PageUp, PageDown, Home, T };

struct WindowOptions {
  bool hidden = false;    // no window on screen (capture, tests); nothing is presented
  bool vsync = true;      // swap interval 1
  bool resizable = true;  // windowed mode only
  int display = -1;       // SDL's display index to open on; -1: where the desktop puts new windows
  draw::Renderer renderer = draw::Renderer::Classic; // the context asked for and the backend drawing into it
};

class GLWindow {
public:
  GLWindow(int width, int height, int bits, bool fullscreen, const char *title,
           const WindowOptions &options = WindowOptions());
  ~GLWindow();
  GLWindow(const GLWindow &) = delete;
  GLWindow &operator=(const GLWindow &) = delete;

  // Presents the frame drawn since the last call, then handles the events.
  // Returns false when the run must end (window closed, Escape pressed).
  bool update();
  // Releases the frame buffer, the context and the window. A second call does
  // nothing.
  void close();

  // True once construction finished: a context is current and the frame
  // buffer is complete.
  bool isOpen() const { return open_; }
  // The keyboard state of Escape as of the last event pump.
  bool escapeDown() const;
  // The keys pressed (not held down and repeating) since the last call, in
  // order; update() and inputPending() collect them.
  std::vector<ShowKey> takeKeys();
  // Takes every pending event without presenting. True when a key press or a
  // quit message waits (for takeKeys() and the next update()).
  bool inputPending();
  // Makes this window's context current (for programs with several windows).
  void makeCurrent() const;
  // Binds the show's frame buffer (the one everything draws into).
  void bindFramebuffer() const;
  unsigned framebuffer() const { return fbo_; }
  int width() const { return width_; }
  int height() const { return height_; }
  FrameSize frame() const { return {width_, height_}; }
  // Gives the frame buffer a new size (cleared, viewport the whole of it),
  // before anything that copies it is made. A size beyond what the driver
  // holds is refused with one line on stderr, keeping the old one (false).
  bool setFrameSize(const FrameSize &frame);
  // GL_RENDERER, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  std::string renderer() const;
  // The renderer this window was opened for (its context and backend).
  draw::Renderer drawRenderer() const { return options_.renderer; }
  // Whether the GL's debug messages reach debugErrors() (modern and es, where
  // the context has KHR_debug).
  bool debugOutput() const { return debugOutput_; }
  // The GL errors (and other messages of high severity) the debug output
  // reported since the window opened; each was printed on stderr.
  unsigned debugErrors() const { return debugErrors_.load(); }
  // The largest 4:3 picture the window shows pixel for pixel: full screen,
  // the screen it is on; in a window, the window's drawable (800 x 600, or
  // more on a high-density screen). The base size where that is smaller.
  FrameSize nativeFrame() const;
  // Reads the whole frame buffer as RGB rows, bottom row first.
  void readPixels(std::vector<uint8_t> &rgb) const;
  // The SDL video driver in use ("x11", "wayland", "offscreen", ...).
  const char *videoDriver() const;
  // The screen the window is on (SDL's display index; -1 without a window).
  int displayIndex() const;
  SDL_Window *sdlWindow() const { return window_; }

private:
  void present();
  // Colour RGB8 (RGBA8 on ES) and depth 24 + stencil 8 storage of width x
  // height for the frame buffer's two render buffers.
  void allocateBuffers(int width, int height);
  // On ES: alpha 1 all over the bound frame buffer's colour, which the show
  // never writes again. Leaves the colour mask, clear colour and scissor test.
  void fillAlpha() const;
  // Routes drawing in the bound draw frame buffer to `buffer` (glDrawBuffer,
  // or its one-buffer form on ES, which has only glDrawBuffers).
  void drawTo(unsigned buffer) const;
  // Installs the debug message callback (modern and es, with KHR_debug).
  void startDebugOutput();
  // Takes every pending event: keys into keys_, quit messages into the flags.
  void takeEvents();

  WindowOptions options_;
  int width_ = 0;
  int height_ = 0;
  bool sdlVideo_ = false;
  SDL_Window *window_ = nullptr;
  void *context_ = nullptr; // SDL_GLContext
  // The drawing context over it (draw.h), current while this window's GL
  // context is.
  std::unique_ptr<draw::Context> drawing_;
  unsigned fbo_ = 0;
  unsigned colourBuffer_ = 0;
  unsigned depthStencilBuffer_ = 0;
  bool open_ = false;
  bool fullscreen_ = false;
  bool closeRequested_ = false;
  bool escapePressed_ = false; // until the next update() says so
  bool debugOutput_ = false;
  // Counted by the debug callback, which may run on a driver thread.
  std::atomic<unsigned> debugErrors_{0};
  std::vector<ShowKey> keys_;
};

// Whether GL_RENDERER names a renderer that draws on the CPU (Mesa's
// llvmpipe, softpipe or swrast), where every extra pixel costs frame time.
bool isSoftwareRenderer(const std::string &renderer);

// The 800 x 600 "Demo" window for drawing without a screen: hidden, no vsync,
// drawn by `renderer`. Where no display is named (neither SDL_VIDEODRIVER,
// DISPLAY nor WAYLAND_DISPLAY is set) it first picks SDL's offscreen driver
// (EGL, on llvmpipe without a GPU). Never null; isOpen() says whether it
// opened.
std::unique_ptr<GLWindow> openHeadlessWindow(draw::Renderer renderer = draw::Renderer::Classic);

} // namespace demo
