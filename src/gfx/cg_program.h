// cg_program.h - the show's shader programs, compiled at start-up from text
// files.
//
// The classes keep the names and the calling pattern of the shading runtime
// the show was written for, but the programs are GLSL: a file is compiled as
// a `#version 120` fragment shader through the OpenGL 2.0 shader API and
// linked, with the vertex stage left fixed-function (so the program reads
// gl_TexCoord[0], gl_TexCoord[1] and gl_Color). The version line is put in
// front unless the file starts with its own; the log's line numbers stay the
// file's. The sampler uniforms (`uniform sampler2D t0;`) are pointed at
// texture units 0, 1, ... in the order they appear in the file, so a program
// takes no parameters: everything it needs comes from GL state.
//
// Use:
//   CgContext cg;                                       // one for the show
//   CgProgram fp("data/metaballsfp.txt", &cg, "main");  // prints any errors
//   fp.bind();  ...bind textures on units 0 and 1, draw...  fp.unbind();
//   disableCgProfiles();                                // no program at all
//
// Diagnostics go to standard output, each followed by one newline: the
// context's pending error ("The file could not be read." or "The compile
// returned an error.") and then the listing (the compile and link info logs;
// an empty line when there are none). A program that failed is not fatal: its
// name is 0 and binding it draws with the fixed-function pipeline.
//
// A CgProgram owns its GL program: it cannot be copied, a move hands the
// program over (the moved-from one is empty, program 0, and frees nothing),
// and the destructor deletes it (a program in use is deleted by GL once it is
// no longer current). As with RenderTarget, destroy programs while the
// window's context is current; with none current the delete reaches no
// context.
//
// What it does not do: pass parameters to a program or compile ARB assembly.
// The entry-point name is kept for the callers' sake; GLSL always starts at
// main().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// The shading runtime's profile numbers, kept as the programs' tags.
constexpr int kCgProfileArbvp1 = 6150; // vertex program: compiled as a GLSL vertex shader
constexpr int kCgProfileArbfp1 = 7000; // fragment program: a GLSL fragment shader

class CgContext {
public:
  // A fresh context (a nonzero handle), then checkError().
  CgContext();
  ~CgContext();
  CgContext(const CgContext &) = delete;
  CgContext &operator=(const CgContext &) = delete;

  // Prints the pending error text and "\n" to standard output, if there is
  // one, and clears it.
  void checkError();
  // Prints the last listing and "\n" to standard output (only "\n" when the
  // listing is empty). The listing stays.
  void printListing();
  // Ends the context: handle 0, no error, no listing. Programs built in it keep
  // working (their GL objects are not touched). A second call does nothing.
  void destroy();

  // The context's handle: its own address, so nonzero and distinct among
  // the contexts alive (a context cannot be copied or moved); 0 once
  // destroyed.
  std::uintptr_t context = 0;

private:
  friend class CgProgram;
  // A build's outcome: the pending error (empty for none) and the listing.
  void report(const std::string &error, const std::string &listing);

  std::string error_;
  std::string listing_;
};

class CgProgram {
public:
  // Reads `file` (a "data/..." name is resolved against the data directory),
  // compiles and links it, points its samplers at units 0, 1, ..., then
  // ctx->checkError() and ctx->printListing(). The current program is left as
  // it was. `entry` is accepted and not used (GLSL starts at main). With
  // profile kCgProfileArbvp1 the file is a vertex shader instead.
  CgProgram(const char *file, CgContext *ctx, const char *entry, int profile = kCgProfileArbfp1);
  // Deletes the program.
  ~CgProgram();
  CgProgram(const CgProgram &) = delete;
  CgProgram &operator=(const CgProgram &) = delete;
  // The program moves over; `other` is left with program 0.
  CgProgram(CgProgram &&other) noexcept;
  // Deletes this program, then takes `other`'s.
  CgProgram &operator=(CgProgram &&other) noexcept;

  // draw::useProgram(program): 0 (fixed function) for a program that failed.
  void bind();
  // draw::useProgram(0).
  void unbind();

  int profile = kCgProfileArbfp1;
  unsigned program = 0; // GL program name, owned; 0 when the build failed or moved from
  // Why there is no program, in a few words ("cannot be read", "does not
  // compile", ...), for the user of the program to say; empty when it built.
  std::string failure;

private:
  // Deletes the program; leaves program 0.
  void release();
};

// Stops any program (draw::useProgram(0)) and disables the ARB vertex and
// fragment program targets (where the driver has them).
void disableCgProfiles();
// Disables the ARB vertex and fragment program targets, each only where
// the context has its extension (elsewhere the enum is an error).
void disableArbProgramTargets();

// The names of the sampler uniforms (`uniform sampler2D t0;`, any sampler
// type) of a GLSL source in declaration order: unit i goes to the i-th name.
// Comments are skipped, `uniform sampler2D a, b;` gives both names, and an
// array counts as one name.
std::vector<std::string> samplerNames(const std::string &source);

} // namespace demo
