// logo_assets.h - the logo scene's data: the title card (a backdrop plate
// with the production's name in solid chrome letters and the group's line in
// red under it), the camera flight round it, the tunnel tube behind it and
// their pictures.
//
// The logo scene plays its file from scene time 0 to 4.08 s and back, so the
// flight ends at kLogoFlightSeconds on a near-frontal view of the card. The
// card faces +z at the origin, about 280 units wide. The scene draws the tube
// at (0, lift, -1000), turned 90 degrees about x (the tube's +y becomes +z)
// and scaled 8, under the camera's view: so the tube is modelled along y,
// wide and long enough that the whole camera path stays inside it. It is
// drawn into a 256 x 256 corner of the frame whose depths the card is then
// tested against, so its wall keeps well behind the card from every point of
// the flight. Its picture scrolls fast in both directions (the scene moves
// the texture matrix), so it tiles seamlessly both ways.
//
// The scene draws the card unlit, with its own textures and a flat red, so
// the pictures carry all the shading: a lit steel plate and chrome letters.
//
// Use:
//   context.writeGsp("logoscene.gsp", *buildLogoScene());
//   context.writeEbr("tunnel.ebr", buildTunnelMesh());
//   context.writeJpeg("bgcomplete.jpg", paintBackdrop());  // and so on
//
// What it does not do: write files (logo.cpp does) or draw anything.
#pragma once

#include <memory>

#include "bake/image.h"
#include "scene/ebr_mesh.h"
#include "base/math.h"

namespace demo {
class Scene;
}

namespace demo::bake {

constexpr float kLogoFlightSeconds = 4.1f; // the camera path's last pose
constexpr float kLogoKeyStep = 0.1f;       // seconds between camera keys
constexpr float kLogoKeysUntil = 4.2f;     // the tracks run a little past it
constexpr float kTunnelRadius = 70.f;      // mesh units
constexpr float kTunnelLength = 460.f;     // mesh units, centred on y = 0
constexpr float kTunnelRepeatsRound = 4.f;
constexpr float kTunnelRepeatsAlong = 5.f;

// The texture names the scene file's materials carry.
constexpr const char *kBackdropTexture = "data/bgcomplete.jpg";
constexpr const char *kLogoTextTexture = "data/logotextcomplete.jpg";

// "Box03" (the plate), "Text08" ("quintervale"), "Text09" (the group's line,
// which glides into place over the flight), "Camera01" and its target.
std::unique_ptr<Scene> buildLogoScene();

// Where the camera is at `seconds` of scene time (the keys sample this).
Vec3 logoCameraPath(float seconds);

// The tube: one part, faces towards its axis.
EbrMesh buildTunnelMesh();

// Sizes in base pixels; each is painted at `detail` (image.h).
Image paintBackdrop(int detail = 1);      // bgcomplete.jpg, 512 x 256
Image paintLogoLettering(int detail = 1); // logotextcomplete.jpg, 512 x 128: chrome
Image paintFlare(int detail = 1);         // flare.jpg, 256 x 256
Image paintTunnel(int detail = 1);        // tunnel.jpg, 256 x 256, tiles both ways

} // namespace demo::bake
