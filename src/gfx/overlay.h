// overlay.h - 2D drawing over (or instead of) the 3D picture: textured
// overlays placed in screen pixels and the flat full-screen quad used for
// flashes and fades.
//
// Use:
//   logo.drawAt(0, 472, 1);                              // Texture member, pixels
//   bar.drawSprite(143, 100, 514 * done, 45, done, 1, 0, 0);
//   draw::disable(draw::Cap::Texture2D); draw::colour(1, 1, 1, fade); drawFullScreenQuad();
//
// Screen pixels are those of the 800 x 600 base picture, origin at the
// bottom-left corner, y up. The pixel-to-clip factors below are fixed: they
// do not follow the real window, the viewport or the render scale, so an
// overlay covers the same part of the picture at any scale.
//
// The texture overlays (Texture::drawAt, Texture::drawSprite, declared in
// texture.h and implemented in overlay.cpp) leave:
//   texturing (Cap::Texture2D) off, the texture bound on the active unit, the
//   depth test on, the projection and model-view matrices as they were, the
//   model-view matrix current.
// drawSprite also sets, permanently on the texture object, wrap t = Clamp and
// the minifying filter = LinearMipmapLinear, so it expects
// a texture with a mipmap chain (every loaded picture has one). A negative
// sprite height extends the rectangle downwards and shows the window upside
// down; its winding is then clockwise, so it shows only with culling off.
//
// What these do not do: touch blending (callers enable and set it), the
// current colour (the texture is modulated by it), or read the frame buffer.
#pragma once

#include "base/frame_size.h"

namespace demo {

// Clip-space units per screen pixel, across and up.
constexpr float kPixelToClipX = (1.f / static_cast<float>(kBaseFrameWidth)) * 2.f;
constexpr float kPixelToClipY = (1.f / static_cast<float>(kBaseFrameHeight)) * 2.f;

// Pushes the projection and the model-view matrix and loads identity into
// both, so 2D passes draw in clip space. Leaves the model-view matrix current.
void pushIdentityMatrices();

// Ends a textured pass begun with pushIdentityMatrices (model-view current):
// texturing off, both matrices popped, the model-view matrix current, depth
// test on.
void endTexturedPass();

// The quad (-1, -1) to (1, 1) at z = 0 in the current colour, blend and
// texture state (with texturing on it is textured with the current
// texture coordinate, so switch texturing off for a flat colour). Projection
// and model-view are identity while it draws and are restored afterwards.
// Leaves: depth test on, face culling off, the projection matrix current.
void drawFullScreenQuad();

// Whether a draw now, in the current colour, would change no pixel: blending
// adds the source weighted by its alpha (SrcAlpha with One or
// OneMinusSrcAlpha, added), no program and no lighting can change that
// alpha, and the colour's alpha is 0 or below (it is clamped to 0). The
// full-screen quad and the target draws skip such draws.
bool blendedDrawIsInvisible();

// Whether a quad textured from unit 0, drawn now with depth testing off, puts
// every texel of alpha 1 down exactly as it is: the current colour is opaque
// white, which the texture environment (modulate) leaves the texel as it is;
// no lighting, fog, colour sum, logic op or program touches the fragment; unit 0 generates no coordinates and its
// texture matrix is the identity; no other unit textures; and blending is off
// or weighs the source by its alpha (1) against the destination by 1 - alpha
// or 0. A copy of the frame drawn back over that same frame then changes no
// pixel (RenderTarget::drawBack skips it).
bool texelsDrawAsTheyAre();

} // namespace demo
