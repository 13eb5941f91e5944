#include "platform/gl_window.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/message.h"
#include "draw/gl_modern_backend.h"
#include "draw/renderer.h"
#include "platform/pixel_readback.h"

namespace demo {

namespace {

const char *kCaption = "GLWindow::GLWindow";

// The screen to open on: `wanted` when it exists; otherwise one line naming
// the screens there are, and the first. -1 (no wish) stays -1.
int chooseDisplay(int wanted) {
  if (wanted < 0)
    return -1;
  const int count = SDL_GetNumVideoDisplays();
  if (wanted < count)
    return wanted;
  std::string screens;
  for (int i = 0; i < count; ++i) {
    SDL_Rect bounds{};
    SDL_GetDisplayBounds(i, &bounds);
    const char *name = SDL_GetDisplayName(i);
    char entry[160];
    std::snprintf(entry, sizeof entry, "%s%d (%s, %d x %d)", i ? ", " : "", i, name ? name : "unnamed", bounds.w,
                  bounds.h);
    screens += entry;
  }
  if (count <= 0)
    screens = "none reported";
  std::fprintf(stderr, "quintervale: there is no screen %d; the screens here are %s; the show opens on screen 0\n", wanted,
               screens.c_str());
  std::fflush(stderr);
  return 0;
}

// The context a renderer asks SDL for, set before the window is made (SDL
// picks the pixel format, and with it the API, when it makes the window).
// Classic asks for the compatibility context the show was written for;
// modern for 3.3 core, es for ES 3.0, both with a debug context. Those two
// put SDL's version and flags back once the context is made, so that a
// classic window opened later asks for exactly what it always did.
class ContextRequest {
public:
  explicit ContextRequest(draw::Renderer renderer) : renderer_(renderer) {
    if (renderer == draw::Renderer::Classic) {
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
      return;
    }
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile_);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major_);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor_);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_FLAGS, &flags_);
    const bool es = renderer == draw::Renderer::Es;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, es ? SDL_GL_CONTEXT_PROFILE_ES : SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, es ? 0 : 3);
    // Forward-compatible is a desktop flag (EGL refuses it for ES).
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS,
                        SDL_GL_CONTEXT_DEBUG_FLAG | (es ? 0 : SDL_GL_CONTEXT_FORWARD_COMPATIBLE_FLAG));
  }
  ~ContextRequest() {
    if (renderer_ == draw::Renderer::Classic)
      return;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, profile_);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major_);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, minor_);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, flags_);
  }
  ContextRequest(const ContextRequest &) = delete;
  ContextRequest &operator=(const ContextRequest &) = delete;

private:
  draw::Renderer renderer_;
  int profile_ = 0, major_ = 0, minor_ = 0, flags_ = 0;
};

// The debug output's callback: errors and anything else of high severity,
// one line each, counted in the window's tally (`tally`). The shader
// compiler's own messages are not the API's errors: a program that does not
// build is reported by whoever built it, with its log.
void GLAPIENTRY onDebugMessage(GLenum source, GLenum type, GLuint, GLenum severity, GLsizei length,
                               const GLchar *message, const void *tally) {
  if (source == GL_DEBUG_SOURCE_SHADER_COMPILER ||
      (type != GL_DEBUG_TYPE_ERROR && severity != GL_DEBUG_SEVERITY_HIGH))
    return;
  std::string text;
  if (message)
    text = length >= 0 ? std::string(message, static_cast<size_t>(length)) : std::string(message);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.pop_back();
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::fprintf(stderr, "quintervale: GL error: %s\n", text.c_str());
  std::fflush(stderr);
  ++*static_cast<std::atomic<unsigned> *>(const_cast<void *>(tally));
}

} // namespace

GLWindow::GLWindow(int width, int height, int bits, bool fullscreen, const char *title,
                   const WindowOptions &options)
    : options_(options), width_(width), height_(height) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    showMessage("Unable to register window class", kCaption);
    return;
  }
  sdlVideo_ = true;
  // A window somebody sees gets message boxes from here on, its own set-up's
  // included; hidden windows (captures, tests) never do.
  if (!options.hidden)
    setMessageBoxesEnabled(messageBoxesWanted(SDL_GetCurrentVideoDriver()));

  const int display = chooseDisplay(options.display);
  bool wantFullscreen = fullscreen && !options.hidden;
  fullscreen_ = wantFullscreen;
  if (wantFullscreen) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &mode) != 0) {
      showMessage("Unable to get displaysettings", "Error");
      return;
    }
  }

  // The window's own buffer only receives the scaled picture; the show draws
  // into the frame buffer object below. `bits` asks for 8 bits a channel.
  int channel = bits >= 24 ? 8 : 5;
  const ContextRequest request(options.renderer);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
  flags |= options.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (!wantFullscreen && options.resizable && !options.hidden)
    flags |= SDL_WINDOW_RESIZABLE;
  const int position = display < 0 ? SDL_WINDOWPOS_CENTERED : SDL_WINDOWPOS_CENTERED_DISPLAY(display);
  window_ = SDL_CreateWindow(title, position, position, width, height, flags);
  if (!window_) {
    std::fprintf(stderr, "quintervale: unable to create a window: %s\n", SDL_GetError());
    std::fflush(stderr);
    return;
  }
  // Every box from now on opens in front of the show.
  setMessageOwner(window_);

  if (wantFullscreen) {
    if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
      showMessage("Unable to switch to fullscreen", kCaption);
    else
      SDL_ShowCursor(SDL_DISABLE);
  }

  context_ = SDL_GL_CreateContext(window_);
  if (!context_) {
    showMessage("Unable to create HRC", kCaption, window_);
    return;
  }
  if (SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_)) != 0) {
    showMessage("Unable to select HRC", kCaption, window_);
    return;
  }

  // Debian's GLEW is built for GLX; under EGL (SDL's offscreen driver) it
  // reports GLEW_ERROR_NO_GLX_DISPLAY after loading every entry point, so that
  // one code is not a failure.
  // glewExperimental also loads what a core context does not list as an
  // extension.
  glewExperimental = GL_TRUE;
  GLenum glewStatus = glewInit();
  const bool classic = options.renderer == draw::Renderer::Classic;
  if ((glewStatus != GLEW_OK && glewStatus != GLEW_ERROR_NO_GLX_DISPLAY) || !glGenFramebuffers ||
      !glBlitFramebuffer || !(classic ? glActiveTextureARB : glActiveTexture)) {
    showMessage("Unable to find a suitable pixelformat", kCaption, window_);
    return;
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  if (!classic)
    startDebugOutput();

  glGenFramebuffers(1, &fbo_);
  glGenRenderbuffers(1, &colourBuffer_);
  glGenRenderbuffers(1, &depthStencilBuffer_);
  allocateBuffers(width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencilBuffer_);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    showMessage("Unable to set pixel format", kCaption, window_);
    return;
  }
  drawTo(GL_COLOR_ATTACHMENT0);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  fillAlpha();

  SDL_GL_SetSwapInterval(options.vsync ? 1 : 0);
  if (!options.hidden)
    SDL_RaiseWindow(window_);

  drawing_ = std::make_unique<draw::Context>(draw::makeBackend(options.renderer));
  draw::setCurrent(drawing_.get());
  // The one piece of GL state that does not start at a constant: the
  // scissor box is the drawable's size when the context is first current.
  GLint box[4] = {};
  glGetIntegerv(GL_SCISSOR_BOX, box);
  drawing_->mutableState().scissor = {box[0], box[1], box[2], box[3]};

  // The show's initial state: every later part starts from here.
  draw::viewport(0, 0, width, height);
  draw::enable(draw::Cap::DepthTest);
  draw::enable(draw::Cap::Normalize);
  draw::enable(draw::Cap::CullFace);
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth | draw::kClearStencil);
  open_ = true;
}

GLWindow::~GLWindow() { close(); }

void GLWindow::startDebugOutput() {
  // KHR_debug is core from GL 4.3 and ES 3.2; before that ES names its
  // entry points with the extension's suffix.
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  const bool es = options_.renderer == draw::Renderer::Es;
  const bool core = major * 10 + minor >= (es ? 32 : 43);
  if (!core && !draw::hasExtension("GL_KHR_debug"))
    return;
  auto install = glDebugMessageCallback;
  if (es && !core)
    install = reinterpret_cast<PFNGLDEBUGMESSAGECALLBACKPROC>(SDL_GL_GetProcAddress("glDebugMessageCallbackKHR"));
  if (!install)
    return;
  glEnable(GL_DEBUG_OUTPUT);
  // The line comes while the call that caused it is still on the stack.
  glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
  install(onDebugMessage, &debugErrors_);
  debugOutput_ = true;
}

void GLWindow::drawTo(unsigned buffer) const {
  if (options_.renderer == draw::Renderer::Es) {
    const GLenum buffers[1] = {buffer};
    glDrawBuffers(1, buffers);
  } else {
    glDrawBuffer(buffer);
  }
}

void GLWindow::fillAlpha() const {
  if (options_.renderer != draw::Renderer::Es)
    return;
  GLfloat clear[4];
  GLboolean mask[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  glColorMask(mask[0], mask[1], mask[2], mask[3]);
  if (scissor)
    glEnable(GL_SCISSOR_TEST);
}

void GLWindow::allocateBuffers(int width, int height) {
  // ES copies into a texture only the channels the frame has: an RGBA
  // texture needs an RGBA frame (its alpha filled with 1, fillAlpha).
  const GLenum colour = options_.renderer == draw::Renderer::Es ? GL_RGBA8 : GL_RGB8;
  glBindRenderbuffer(GL_RENDERBUFFER, colourBuffer_);
  glRenderbufferStorage(GL_RENDERBUFFER, colour, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, depthStencilBuffer_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

bool GLWindow::setFrameSize(const FrameSize &frame) {
  if (!open_)
    return false;
  // The frame buffer, the copies of it (textures) and the viewport must all
  // hold it.
  GLint renderbuffer = 0, texture = 0, viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  const int limit = std::min({renderbuffer, texture, viewport[0], viewport[1]});
  // A copy's texture is up to kCopyMargin texels larger than the frame.
  if (frame.width <= 0 || frame.height <= 0 || frame.width + kCopyMargin > limit ||
      frame.height + kCopyMargin > limit) {
    std::fprintf(stderr, "quintervale: a %d x %d picture is more than this OpenGL driver holds (%d on a side); "
                         "it stays %d x %d\n",
                 frame.width, frame.height, limit - kCopyMargin, width_, height_);
    std::fflush(stderr);
    return false;
  }
  allocateBuffers(frame.width, frame.height);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  if (glGetError() != GL_NO_ERROR || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    // Out of memory: back to the size it had.
    std::fprintf(stderr, "quintervale: no room for a %d x %d picture; it stays %d x %d\n", frame.width, frame.height,
                 width_, height_);
    std::fflush(stderr);
    allocateBuffers(width_, height_);
    fillAlpha();
    return false;
  }
  fillAlpha();
  width_ = frame.width;
  height_ = frame.height;
  draw::viewport(0, 0, width_, height_);
  draw::clear(draw::kClearColour | draw::kClearDepth | draw::kClearStencil);
  return true;
}

std::string GLWindow::renderer() const {
  const GLubyte *name = open_ ? glGetString(GL_RENDERER) : nullptr;
  return name ? reinterpret_cast<const char *>(name) : "";
}

FrameSize GLWindow::nativeFrame() const {
  if (!window_)
    return FrameSize();
  // A window shows the picture in its own pixels (more than its size on a
  // high-density screen); full screen, the screen's mode is what it covers
  // (the drawable may not have caught up with the switch yet).
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_, &w, &h);
  SDL_DisplayMode mode{};
  if (fullscreen_ && SDL_GetDesktopDisplayMode(std::max(SDL_GetWindowDisplayIndex(window_), 0), &mode) == 0 &&
      mode.w > w && mode.h > h) {
    w = mode.w;
    h = mode.h;
  }
  return FrameSize::largestInside(w, h);
}

bool isSoftwareRenderer(const std::string &renderer) {
  std::string lower;
  for (char c : renderer)
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char *name : {"llvmpipe", "softpipe", "swrast"})
    if (lower.find(name) != std::string::npos)
      return true;
  return false;
}

void GLWindow::close() {
  if (context_) {
    SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
    if (fbo_) {
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      glDeleteFramebuffers(1, &fbo_);
      glDeleteRenderbuffers(1, &colourBuffer_);
      glDeleteRenderbuffers(1, &depthStencilBuffer_);
    }
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    if (draw::current() == drawing_.get())
      draw::setCurrent(nullptr);
    drawing_.reset();
  }
  fbo_ = colourBuffer_ = depthStencilBuffer_ = 0;
  context_ = nullptr;
  if (window_) {
    if (messageOwner() == window_)
      setMessageOwner(nullptr);
    SDL_ShowCursor(SDL_ENABLE);
    SDL_DestroyWindow(window_);
    window_ = nullptr;
  }
  if (sdlVideo_) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    sdlVideo_ = false;
  }
  open_ = false;
}

void GLWindow::takeEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
      closeRequested_ = true;
    } else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
      escapePressed_ = true;
    } else if (event.type == SDL_KEYDOWN && event.key.repeat == 0) {
      static const std::pair<SDL_Keycode, ShowKey> kKeys[] = {
          {SDLK_SPACE, ShowKey::Space},   {SDLK_LEFT, ShowKey::Left},         {SDLK_RIGHT, ShowKey::Right},
          {SDLK_PAGEUP, ShowKey::PageUp}, {SDLK_PAGEDOWN, ShowKey::PageDown}, {SDLK_HOME, ShowKey::Home},
          {SDLK_t, ShowKey::T}};
      for (const auto &[code, key] : kKeys)
        if (event.key.keysym.sym == code)
          keys_.push_back(key);
    }
  }
}

bool GLWindow::update() {
  if (!window_)
    return false;
  takeEvents();
  if (escapePressed_ || closeRequested_) {
    escapePressed_ = false;
    return false;
  }
  present();
  return true;
}

bool GLWindow::inputPending() {
  if (!window_)
    return true;
  takeEvents();
  return !keys_.empty() || escapePressed_ || closeRequested_;
}

void GLWindow::present() {
  if (!open_)
    return;
  glFlush();
  if (options_.hidden)
    return;

  // Scale the show's picture into the window, aspect kept, black bars around.
  // Clearing and blitting touch state the show owns, so it is put back.
  int drawW = 0, drawH = 0;
  SDL_GL_GetDrawableSize(window_, &drawW, &drawH);
  int w = drawW, h = drawW * height_ / width_;
  if (h > drawH) {
    h = drawH;
    w = drawH * width_ / height_;
  }
  int x = (drawW - w) / 2, y = (drawH - h) / 2;

  GLfloat clear[4];
  GLboolean mask[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);

  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  drawTo(GL_BACK);
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glBlitFramebuffer(0, 0, width_, height_, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
  SDL_GL_SwapWindow(window_);

  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  drawTo(GL_COLOR_ATTACHMENT0);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  glColorMask(mask[0], mask[1], mask[2], mask[3]);
  if (scissor)
    glEnable(GL_SCISSOR_TEST);
}

bool GLWindow::escapeDown() const {
  if (!sdlVideo_)
    return false;
  int count = 0;
  const Uint8 *keys = SDL_GetKeyboardState(&count);
  return keys && SDL_SCANCODE_ESCAPE < count && keys[SDL_SCANCODE_ESCAPE] != 0;
}

std::vector<ShowKey> GLWindow::takeKeys() {
  std::vector<ShowKey> keys;
  keys.swap(keys_);
  return keys;
}

int GLWindow::displayIndex() const { return window_ ? SDL_GetWindowDisplayIndex(window_) : -1; }

void GLWindow::makeCurrent() const {
  if (window_ && context_) {
    SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
    draw::setCurrent(drawing_.get());
  }
}

void GLWindow::bindFramebuffer() const {
  if (fbo_)
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

void GLWindow::readPixels(std::vector<uint8_t> &rgb) const {
  rgb.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3, 0);
  if (open_)
    readRgbPixels(fbo_, width_, height_, rgb.data(), options_.renderer);
}

const char *GLWindow::videoDriver() const {
  const char *driver = sdlVideo_ ? SDL_GetCurrentVideoDriver() : nullptr;
  return driver ? driver : "";
}

std::unique_ptr<GLWindow> openHeadlessWindow(draw::Renderer renderer) {
  if (!std::getenv("SDL_VIDEODRIVER") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
  WindowOptions options;
  options.hidden = true;
  options.vsync = false;
  options.renderer = renderer;
  return std::make_unique<GLWindow>(kBaseFrameWidth, kBaseFrameHeight, 32, false, "Demo", options);
}

} // namespace demo
