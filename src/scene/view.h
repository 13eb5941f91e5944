// view.h - the helpers every scene calls each frame: a perspective view in
// one call, and sphere-map texture coordinates on and off. They draw through
// the current drawing context (draw/draw.h); the maths they use is base/math.h.
#pragma once

#include "base/math.h"

namespace demo {

// Projection (draw::perspective(fovY, aspect, 1, 3500)) and view
// (draw::lookAt); leaves the model-view matrix current.
void setView(float eyeX, float eyeY, float eyeZ, float centreX, float centreY, float centreZ,
             float upX, float upY, float upZ, float fovY, float aspect);
void setViewClip(float eyeX, float eyeY, float eyeZ, float centreX, float centreY, float centreZ,
                 float upX, float upY, float upZ, float fovY, float aspect, float zNear, float zFar);

// Sphere-map generation of s and t on / off; the binding and the texturing
// enable are left alone.
void enableSphereMap();
void disableSphereMap();

} // namespace demo
