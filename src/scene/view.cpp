#include "scene/view.h"

// clang-format off
#include <GL/glew.h>
#include <GL/glu.h>
// clang-format on

namespace demo {

void setView(float eyeX, float eyeY, float eyeZ, float centreX, float centreY, float centreZ,
             float upX, float upY, float upZ, float fovY, float aspect) {
  setViewClip(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ, fovY, aspect, 1.f, 3500.f);
}

void setViewClip(float eyeX, float eyeY, float eyeZ, float centreX, float centreY, float centreZ,
                 float upX, float upY, float upZ, float fovY, float aspect, float zNear, float zFar) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(static_cast<double>(fovY), static_cast<double>(aspect), static_cast<double>(zNear),
                 static_cast<double>(zFar));
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(static_cast<double>(eyeX), static_cast<double>(eyeY), static_cast<double>(eyeZ),
            static_cast<double>(centreX), static_cast<double>(centreY), static_cast<double>(centreZ),
            static_cast<double>(upX), static_cast<double>(upY), static_cast<double>(upZ));
}

void enableSphereMap() {
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
}

void disableSphereMap() {
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
}

} // namespace demo
