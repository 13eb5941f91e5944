#include "scene/view.h"

#include "draw/draw.h"

namespace demo {

void setView(float eyeX, float eyeY, float eyeZ, float centreX, float centreY, float centreZ,
             float upX, float upY, float upZ, float fovY, float aspect) {
  setViewClip(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ, fovY, aspect, 1.f, 3500.f);
}

void setViewClip(float eyeX, float eyeY, float eyeZ, float centreX, float centreY, float centreZ,
                 float upX, float upY, float upZ, float fovY, float aspect, float zNear, float zFar) {
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::loadIdentity();
  draw::perspective(static_cast<double>(fovY), static_cast<double>(aspect), static_cast<double>(zNear),
                    static_cast<double>(zFar));
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::loadIdentity();
  draw::lookAt(static_cast<double>(eyeX), static_cast<double>(eyeY), static_cast<double>(eyeZ),
               static_cast<double>(centreX), static_cast<double>(centreY), static_cast<double>(centreZ),
               static_cast<double>(upX), static_cast<double>(upY), static_cast<double>(upZ));
}

void enableSphereMap() { draw::sphereMap(true); }

void disableSphereMap() { draw::sphereMap(false); }

} // namespace demo
