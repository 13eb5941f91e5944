#include "gfx/cg_program.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include "base/data_path.h"
#include "draw/draw.h"

namespace demo {

namespace {

const char *kReadError = "The file could not be read.";
const char *kCompileError = "The compile returned an error.";

void printLine(const std::string &text) {
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool readText(const std::string &path, std::string &text) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// True when the first thing in the source, after white space, is #version.
bool startsWithVersion(const std::string &source) {
  size_t i = 0;
  while (i < source.size() && std::isspace(static_cast<unsigned char>(source[i])))
    ++i;
  return source.compare(i, 8, "#version") == 0;
}

// The listing is printed with one newline after it, so the logs' own trailing
// line ends are dropped.
void appendLog(std::string &listing, std::string log) {
  while (!log.empty() && std::isspace(static_cast<unsigned char>(log.back())))
    log.pop_back();
  if (log.empty())
    return;
  if (!listing.empty())
    listing += '\n';
  listing += log;
}

// The source without comments; each comment becomes one space.
std::string stripComments(const std::string &source) {
  std::string out;
  out.reserve(source.size());
  for (size_t i = 0; i < source.size();) {
    if (source.compare(i, 2, "//") == 0) {
      while (i < source.size() && source[i] != '\n')
        ++i;
      out += ' ';
    } else if (source.compare(i, 2, "/*") == 0) {
      size_t end = source.find("*/", i + 2);
      i = end == std::string::npos ? source.size() : end + 2;
      out += ' ';
    } else {
      out += source[i++];
    }
  }
  return out;
}

// Identifiers and numbers as whole tokens, every other non-space character
// on its own.
std::vector<std::string> tokenize(const std::string &text) {
  std::vector<std::string> tokens;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isspace(c)) {
      ++i;
    } else if (std::isalnum(c) || c == '_') {
      size_t start = i;
      while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
        ++i;
      tokens.push_back(text.substr(start, i - start));
    } else {
      tokens.push_back(std::string(1, text[i++]));
    }
  }
  return tokens;
}

bool isPrecision(const std::string &token) {
  return token == "lowp" || token == "mediump" || token == "highp";
}

} // namespace

std::vector<std::string> samplerNames(const std::string &source) {
  const std::vector<std::string> tokens = tokenize(stripComments(source));
  std::vector<std::string> names;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i] != "uniform")
      continue;
    size_t k = i + 1;
    while (k < tokens.size() && isPrecision(tokens[k]))
      ++k;
    if (k >= tokens.size() || tokens[k].compare(0, 7, "sampler") != 0)
      continue;
    // Names separated by commas up to the semicolon; array sizes skipped.
    for (++k; k < tokens.size() && tokens[k] != ";"; ++k) {
      if (tokens[k] == "[") {
        while (k < tokens.size() && tokens[k] != "]")
          ++k;
      } else if (tokens[k] != ",") {
        names.push_back(tokens[k]);
      }
    }
    i = k;
  }
  return names;
}

// ---------------------------------------------------------------- CgContext

CgContext::CgContext() : context(reinterpret_cast<std::uintptr_t>(this)) { checkError(); }

CgContext::~CgContext() { destroy(); }

void CgContext::checkError() {
  if (error_.empty())
    return;
  printLine(error_);
  error_.clear();
}

void CgContext::printListing() { printLine(listing_); }

void CgContext::destroy() {
  context = 0;
  error_.clear();
  listing_.clear();
}

void CgContext::report(const std::string &error, const std::string &listing) {
  error_ = error;
  listing_ = listing;
}

// ---------------------------------------------------------------- CgProgram

CgProgram::CgProgram(const char *file, CgContext *ctx, const char *entry, int programProfile)
    : profile(programProfile) {
  // Without a context the diagnostics still reach standard output.
  std::optional<CgContext> fallback;
  if (!ctx)
    fallback.emplace();
  CgContext &reportTo = ctx ? *ctx : *fallback;

  std::string source;
  std::string error;
  std::string listing;
  const std::string path = resolveDataPath(file);
  if (!file || !readText(path, source)) {
    error = kReadError;
    failure = "cannot be read";
  } else if (!draw::programsAvailable()) {
    error = kCompileError;
    listing = "OpenGL 2.0 shaders are not available in this context";
    failure = "cannot be built: OpenGL 2.0 shaders are not available";
  } else {
    // "#line 0" makes the next line the file's line 1 (GLSL 1.20 counts from
    // the line after the directive), so the log's line numbers are the file's.
    if (!startsWithVersion(source))
      source = "#version 120\n#line 0\n" + source;
    const draw::ProgramBuild built = draw::buildProgram(
        profile == kCgProfileArbvp1 ? draw::ShaderStage::Vertex : draw::ShaderStage::Fragment, source);
    appendLog(listing, built.compileLog);
    appendLog(listing, built.linkLog);
    if (!built.compiled) {
      error = kCompileError;
      failure = "does not compile";
    } else if (!built.linked) {
      error = kCompileError;
      failure = "does not link";
    }
    program = built.program;

    if (program) {
      // Samplers on units 0, 1, ... in declaration order. Setting uniforms
      // needs the program in use; the caller's program is put back after.
      const uint32_t previous = draw::state().program;
      draw::useProgram(program);
      const std::vector<std::string> samplers = samplerNames(source);
      for (size_t unit = 0; unit < samplers.size(); ++unit)
        draw::uniformInt(draw::uniformLocation(program, samplers[unit].c_str()), static_cast<int>(unit));
      draw::useProgram(previous);
    }
  }
  (void)entry;

  reportTo.report(error, listing);
  reportTo.checkError();
  reportTo.printListing();
}

CgProgram::~CgProgram() { release(); }

CgProgram::CgProgram(CgProgram &&other) noexcept { *this = std::move(other); }

CgProgram &CgProgram::operator=(CgProgram &&other) noexcept {
  if (this == &other)
    return *this;
  release();
  profile = other.profile;
  program = other.program;
  failure = std::move(other.failure);
  other.program = 0;
  return *this;
}

void CgProgram::release() {
  if (program)
    draw::deleteProgram(program);
  program = 0;
}

void CgProgram::bind() { draw::useProgram(program); }

void CgProgram::unbind() { draw::useProgram(0); }

void disableArbProgramTargets() { draw::disableArbPrograms(); }

void disableCgProfiles() {
  draw::useProgram(0);
  disableArbProgramTargets();
}

} // namespace demo
