#include "draw/gl_classic_backend.h"

#include <GL/glew.h>

#include "draw/gl_common.h"
#include <GL/glu.h>

namespace demo::draw {

namespace {

GLenum glCap(Cap cap) {
  switch (cap) {
  case Cap::Blend:
    return GL_BLEND;
  case Cap::CullFace:
    return GL_CULL_FACE;
  case Cap::DepthTest:
    return GL_DEPTH_TEST;
  case Cap::Fog:
    return GL_FOG;
  case Cap::Lighting:
    return GL_LIGHTING;
  case Cap::Normalize:
    return GL_NORMALIZE;
  case Cap::ScissorTest:
    return GL_SCISSOR_TEST;
  case Cap::Texture2D:
    return GL_TEXTURE_2D;
  case Cap::TextureGenS:
    return GL_TEXTURE_GEN_S;
  case Cap::TextureGenT:
    return GL_TEXTURE_GEN_T;
  case Cap::VertexProgramArb:
    return GL_VERTEX_PROGRAM_ARB;
  case Cap::FragmentProgramArb:
    return GL_FRAGMENT_PROGRAM_ARB;
  default:
    break;
  }
  return GL_LIGHT0 + static_cast<GLenum>(static_cast<int>(cap) - static_cast<int>(Cap::Light0));
}

GLenum glMatrixModeOf(MatrixMode mode) {
  switch (mode) {
  case MatrixMode::Projection:
    return GL_PROJECTION;
  case MatrixMode::Texture:
    return GL_TEXTURE;
  case MatrixMode::ModelView:
    break;
  }
  return GL_MODELVIEW;
}

GLenum glPrimitive(Primitive primitive) {
  switch (primitive) {
  case Primitive::Points:
    return GL_POINTS;
  case Primitive::Quads:
    return GL_QUADS;
  case Primitive::Triangles:
    break;
  }
  return GL_TRIANGLES;
}

class ClassicBackend final : public Backend {
public:
  bool programsAvailable() override { return glCreateShader && glUseProgram; }
  ProgramBuild buildProgram(ShaderStage stage, const std::string &source) override {
    ProgramBuild built;
    GLuint shader = glCreateShader(stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const GLchar *text = source.c_str();
    const GLint length = static_cast<GLint>(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    built.compiled = compiled == GL_TRUE;
    built.compileLog = shaderLog(shader);
    if (built.compiled) {
      GLuint program = glCreateProgram();
      glAttachShader(program, shader);
      glLinkProgram(program);
      GLint linked = GL_FALSE;
      glGetProgramiv(program, GL_LINK_STATUS, &linked);
      built.linked = linked == GL_TRUE;
      built.linkLog = programLog(program);
      if (built.linked)
        built.program = program;
      else
        glDeleteProgram(program);
    }
    // Flagged for deletion; it goes with the program.
    glDeleteShader(shader);
    return built;
  }
  void deleteProgram(uint32_t program) override { glDeleteProgram(program); }
  void useProgram(const State &s) override {
    if (glUseProgram)
      glUseProgram(s.program);
  }
  int uniformLocation(uint32_t program, const char *name) override { return glGetUniformLocation(program, name); }
  void uniform(int location, int count, const float *values) override {
    if (count == 1)
      glUniform1f(location, values[0]);
    else
      glUniform2f(location, values[0], values[1]);
  }
  void uniformInt(int location, int value) override { glUniform1i(location, value); }
  void disableArbPrograms() override {
    // Only where the driver has the ARB program targets; elsewhere the enums
    // would raise GL_INVALID_ENUM.
    if (GLEW_ARB_vertex_program)
      glDisable(GL_VERTEX_PROGRAM_ARB);
    if (GLEW_ARB_fragment_program)
      glDisable(GL_FRAGMENT_PROGRAM_ARB);
  }
  void setEnabled(const State &, Cap cap, bool on) override {
    if (on)
      glEnable(glCap(cap));
    else
      glDisable(glCap(cap));
  }
  void matrixMode(const State &s) override { glMatrixMode(glMatrixModeOf(s.matrixMode)); }
  void loadIdentity(const State &) override { glLoadIdentity(); }
  void pushMatrix(const State &) override { glPushMatrix(); }
  void popMatrix(const State &) override { glPopMatrix(); }
  void translate(const State &, float x, float y, float z) override { glTranslatef(x, y, z); }
  void rotate(const State &, float degrees, float x, float y, float z) override { glRotatef(degrees, x, y, z); }
  void scale(const State &, float x, float y, float z) override { glScalef(x, y, z); }
  void multMatrix(const State &, const float *m) override { glMultMatrixf(m); }
  void ortho(const State &, double left, double right, double bottom, double top, double zNear,
             double zFar) override {
    glOrtho(left, right, bottom, top, zNear, zFar);
  }
  void perspective(const State &, double fovY, double aspect, double zNear, double zFar) override {
    gluPerspective(fovY, aspect, zNear, zFar);
  }
  void lookAt(const State &, double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
              double upX, double upY, double upZ) override {
    gluLookAt(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ);
  }
  void colour(const State &s) override { glColor4f(s.colour[0], s.colour[1], s.colour[2], s.colour[3]); }
  void normal(const State &s) override { glNormal3f(s.normal[0], s.normal[1], s.normal[2]); }
  void texCoord(const State &s, int unit) override {
    if (unit == 0)
      glTexCoord2f(s.texCoord[0][0], s.texCoord[0][1]);
    else
      glMultiTexCoord2fARB(GL_TEXTURE1_ARB, s.texCoord[1][0], s.texCoord[1][1]);
  }
  void blendFunc(const State &s) override { glBlendFunc(glFactor(s.blendSource), glFactor(s.blendDestination)); }
  void depthMask(const State &s) override { glDepthMask(s.depthMask ? GL_TRUE : GL_FALSE); }
  void colourMask(const State &s) override {
    const GLboolean on = s.colourMask ? GL_TRUE : GL_FALSE;
    glColorMask(on, on, on, on);
  }
  void clearColour(const State &s) override {
    glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
  }
  void clear(const State &, unsigned buffers) override {
    GLbitfield bits = 0;
    if (buffers & kClearColour)
      bits |= GL_COLOR_BUFFER_BIT;
    if (buffers & kClearDepth)
      bits |= GL_DEPTH_BUFFER_BIT;
    if (buffers & kClearStencil)
      bits |= GL_STENCIL_BUFFER_BIT;
    glClear(bits);
  }
  void pointSize(const State &s) override { glPointSize(s.pointSize); }
  uint32_t error() override { return glGetError(); }
  void finish() override { glFinish(); }
  void light(const State &, int light, LightParam param, const float *values) override {
    static const GLenum names[] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_POSITION};
    glLightfv(GL_LIGHT0 + static_cast<GLenum>(light), names[static_cast<int>(param)], values);
  }
  void material(const State &, MaterialParam param, const float *values) override {
    static const GLenum names[] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION};
    glMaterialfv(GL_FRONT_AND_BACK, names[static_cast<int>(param)], values);
  }
  void shininess(const State &s) override { glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, s.material.shininess); }
  void fog(const State &s) override {
    if (s.fog.linear)
      glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, s.fog.start);
    glFogf(GL_FOG_END, s.fog.end);
    glFogf(GL_FOG_DENSITY, s.fog.density);
    glFogfv(GL_FOG_COLOR, s.fog.colour.data());
  }
  void sphereMap(const State &s) override {
    if (s.isEnabled(Cap::TextureGenS)) {
      glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
      glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
      glEnable(GL_TEXTURE_GEN_S);
      glEnable(GL_TEXTURE_GEN_T);
    } else {
      glDisable(GL_TEXTURE_GEN_S);
      glDisable(GL_TEXTURE_GEN_T);
    }
  }
  void activeTexture(const State &s) override { glActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(s.activeUnit)); }
  void bindTexture(const State &s) override {
    glBindTexture(GL_TEXTURE_2D, s.boundTexture[static_cast<size_t>(s.activeUnit)]);
  }
  void textureParameter(const State &, TextureParam param, TextureValue value) override {
    static const GLint values[] = {GL_REPEAT, GL_CLAMP, GL_CLAMP_TO_EDGE, GL_NEAREST, GL_LINEAR,
                                   GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR};
    glTexParameteri(GL_TEXTURE_2D, glTextureParam(param), values[static_cast<int>(value)]);
  }
  uint32_t createTexture(const State &) override {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    return name;
  }
  void deleteTexture(const State &, uint32_t texture) override { glDeleteTextures(1, &texture); }
  void textureImage(const State &, int level, PixelFormat stored, int width, int height, PixelFormat given,
                    const uint8_t *pixels) override {
    uploadTexels(level, stored, width, height, given, pixels);
  }
  int maxTextureSize() override {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
  }
  void textureLevels(const State &, float minLod, float maxLod) override {
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_LOD, minLod);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_LOD, maxLod);
  }
  void textureMaxLevel(const State &, int level) override {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, level);
  }
  void generateMipmaps(const State &) override { glGenerateMipmap(GL_TEXTURE_2D); }
  void copyToTexture(const State &, int width, int height) override {
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
  }
  void viewport(const State &s) override { glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]); }
  void scissor(const State &s) override { glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]); }

  void pushAttributes(const State &, unsigned groups) override {
    if (groups == kAllGroups) {
      glPushAttrib(GL_ALL_ATTRIB_BITS);
      return;
    }
    GLbitfield bits = 0;
    if (groups & kEnableGroup)
      bits |= GL_ENABLE_BIT;
    if (groups & kCurrentGroup)
      bits |= GL_CURRENT_BIT;
    if (groups & kColourBufferGroup)
      bits |= GL_COLOR_BUFFER_BIT;
    if (groups & kViewportGroup)
      bits |= GL_VIEWPORT_BIT;
    if (groups & kDepthBufferGroup)
      bits |= GL_DEPTH_BUFFER_BIT;
    if (groups & kTransformGroup)
      bits |= GL_TRANSFORM_BIT;
    glPushAttrib(bits);
  }
  void popAttributes(const State &) override { glPopAttrib(); }

  // The batch as it was given: each vertex with the attributes given inside
  // begin ... end, then the attributes left current as the State has them.
  void drawBatch(const State &s, const Batch &b) override {
    glBegin(glPrimitive(b.primitive));
    for (const Vertex &v : b.vertices) {
      if (b.colours)
        glColor4f(v.colour[0], v.colour[1], v.colour[2], v.colour[3]);
      if (b.normals)
        glNormal3f(v.normal[0], v.normal[1], v.normal[2]);
      if (b.texCoords)
        glTexCoord2f(v.texCoord[0], v.texCoord[1]);
      if (b.texCoords1)
        glMultiTexCoord2fARB(GL_TEXTURE1_ARB, v.texCoord1[0], v.texCoord1[1]);
      glVertex3f(v.position[0], v.position[1], v.position[2]);
    }
    glEnd();
    if (b.colours)
      colour(s);
    if (b.normals)
      normal(s);
    if (b.texCoords)
      texCoord(s, 0);
    if (b.texCoords1)
      texCoord(s, 1);
  }

  void drawIndexed(const State &, const IndexedArrays &a) override {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, a.positions);
    if (a.normals) {
      glEnableClientState(GL_NORMAL_ARRAY);
      glNormalPointer(GL_FLOAT, 0, a.normals);
    }
    if (a.texCoords) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(2, GL_FLOAT, 0, a.texCoords);
    }
    glDrawElements(glPrimitive(a.primitive), a.count, GL_UNSIGNED_INT, a.indices);
    if (a.texCoords)
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (a.normals)
      glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
  }
};

} // namespace

std::unique_ptr<Backend> makeClassicBackend() { return std::make_unique<ClassicBackend>(); }

} // namespace demo::draw
