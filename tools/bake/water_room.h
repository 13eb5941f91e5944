// water_room.h - the tank room of the water scene: the hall round the pool,
// its eight textured meshes, the four cameras and the scene file that holds
// them.
//
// The water scene draws its pool at height kWaterLevel, 71.5 units square and
// centred on the origin, under white linear fog from 300 to 800 units. Round
// it stands a long concrete hall (y up): a square steel tank whose top is the
// pool, silos, girders, a travelling crane, cables wound round a machinery box
// hung from the ceiling, railings and glowing screens. Everything the cameras
// frame lies within about 250 units of them; behind a bulkhead with a wide
// doorway the hall runs on down -z for a thousand units, and the fog
// swallows it and its open end.
//
// Use:
//   std::unique_ptr<Scene> scene = buildWaterScene();   // meshes, materials, cameras
//   context.writeGsp("vannscene.gsp", *scene);
//
// The builders below (panels, beams, tubes, lathes) are the kit the room is
// made of; each appends to a MeshData with normals that agree with the
// counter-clockwise winding of its triangles (the show culls back faces).
//
// What it does not do: paint the textures (water_textures.h) or write files.
// The scene has no lights: the water scene draws its room unlit, so the
// textures carry the room's lighting themselves (and a light applied from
// this file would stay switched on in OpenGL for the next scene that lights
// its own meshes).
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "bake/mesh_builder.h"

namespace demo {
class Scene;
}

namespace demo::bake {

// The hall, in scene units.
constexpr float kWaterLevel = -2.75f;   // where the scene draws the pool
constexpr float kPoolHalfSide = 35.75f; // 130 cells of 0.55 units, centred
constexpr float kHallFloorY = -14.f;
constexpr float kHallCeilingY = 96.f;
constexpr float kHallHalfWidth = 125.f;
constexpr float kHallNearZ = 190.f;         // the end wall behind the cameras' start
constexpr float kHallFarZ = -1026.f;        // the open far end, deep in the fog (19 wall bays away)
constexpr float kTankHalfSide = 44.f;       // outer walls of the tank round the pool
constexpr float kTankInnerHalfSide = 34.6f; // the drawn water reaches 34.65 on the + sides
// A bulkhead across the hall with a doorway to the rest of it.
constexpr float kBulkheadZ = -250.f;
constexpr float kDoorHalfWidth = 45.f;
constexpr float kDoorTopY = 50.f;
constexpr float kTankTopY = 2.5f;
// The machinery box hung over the pool.
constexpr float kBoxHalfSide = 26.f;
constexpr float kBoxBottomY = 44.f;
constexpr float kBoxTopY = 70.f;

// The eight meshes, in the order the water scene draws them, with the
// picture each is textured with (relative to the data directory).
struct WaterMeshName {
  const char *node;
  const char *texture; // "vannscene/<name>.jpg"
};
extern const WaterMeshName kWaterMeshes[8];
// The cameras and the node each one looks at.
extern const char *const kWaterCameras[4];
extern const char *const kWaterCameraTargets[4];
// Key tracks run over scene seconds 0 .. kWaterKeyEnd (the scene uses 0.1 to
// 5.1) in steps of kWaterKeyStep.
constexpr float kWaterKeyEnd = 5.5f;
constexpr float kWaterKeyStep = 0.1f;

// A sub-rectangle of a picture, in texture coordinates as drawn (v down).
struct UvRect {
  float u0 = 0.f, v0 = 0.f, u1 = 1.f, v1 = 1.f;
};

// A cell of a picture atlas in pixels (x0, y0 inclusive, x1, y1 exclusive),
// and its texture rectangle pulled in by one texel on every side, so that
// linear filtering never reaches into the neighbouring cell.
struct AtlasCell {
  int x0, y0, x1, y1;
};
UvRect cellUv(const AtlasCell &cell, int width, int height);

// takboks.jpg: the hall's shell and the hung box share one picture.
constexpr int kShellPictureSize = 1024;
constexpr AtlasCell kShellWallCell{0, 0, 512, 1024};         // a wall bay, 64 x 110 units
constexpr AtlasCell kShellCeilingCell{512, 0, 1024, 512};    // a ceiling bay with lamps, 64 x 64
constexpr AtlasCell kShellFloorCell{512, 512, 1024, 768};    // a floor slab, 32 x 16
constexpr AtlasCell kShellHousingCell{512, 768, 1024, 1024}; // a side of the hung box
// ytterstenger_og_skjermer.jpg: four screen pictures over a band of bar
// metal that repeats across the whole width.
constexpr int kScreenPictureSize = 512;
constexpr AtlasCell kScreenCells[4] = {{0, 0, 256, 192}, {256, 0, 512, 192}, {0, 192, 256, 384}, {256, 192, 512, 384}};
constexpr AtlasCell kScreenBarBand{0, 384, 512, 512};

// How a beam, tube or lathe maps its picture: the way round the section goes
// to [aroundStart, aroundEnd], the length runs on one unit of texture per
// lengthPerRepeat scene units (the picture repeats), along v, or along u
// when lengthAlongU (for pictures whose band spans the whole width).
struct SweepUv {
  float aroundStart = 0.f;
  float aroundEnd = 1.f;
  float lengthPerRepeat = 10.f;
  bool lengthAlongU = false;
  float lengthOffset = 0.f;
};

// A flat rectangle from `origin` spanning uLength along uDir (the picture's
// right) and vLength along vDir (the picture's down), facing cross(vDir,
// uDir). It is cut into tiles of tileU x tileV units, each showing `rect`
// (a partial tile at the far edges shows the matching part of it).
void addPanel(MeshData &mesh, const Vec3 &origin, const Vec3 &uDir, const Vec3 &vDir, float uLength, float vLength,
              float tileU, float tileV, const UvRect &rect);

// A square-section bar from a to b, width along `side` and depth along the
// third axis, flat faces, ends capped. `side` must not be parallel to b - a.
void addBeam(MeshData &mesh, const Vec3 &a, const Vec3 &b, const Vec3 &side, float width, float depth,
             const SweepUv &uv);

// An I-girder from a to b: two flanges across `side` and a web between them.
void addGirder(MeshData &mesh, const Vec3 &a, const Vec3 &b, const Vec3 &side, float flangeWidth, float height,
               const SweepUv &uv);

// A round tube of `sides` facets swept along a polyline (smooth normals,
// frames carried along the path without twisting), ends capped when asked.
void addTube(MeshData &mesh, const std::vector<Vec3> &path, float radius, int sides, const SweepUv &uv,
             bool caps = false);

// A surface of revolution round the vertical axis through `base`: profile
// points are (radius, height) from bottom to top; normals face away from the
// axis. Radius 0 closes the shape at that end.
void addLathe(MeshData &mesh, const Vec3 &base, const std::vector<std::pair<float, float>> &profile, int segments,
              const SweepUv &uv);

// Points on a cable hanging from a to b that sags `sag` units at its middle.
std::vector<Vec3> hangingCurve(const Vec3 &a, const Vec3 &b, float sag, int points);

// The room's meshes, one per entry of kWaterMeshes.
std::vector<MeshData> buildWaterRoom();

// Where each camera and its target stand at scene time `seconds`, from the
// same smooth paths the key tracks are sampled from.
Vec3 waterCameraEye(int camera, float seconds);
Vec3 waterCameraTarget(int camera, float seconds);

// The whole scene: the eight meshes (material i for mesh i, textured with
// "data/vannscene/..."), then each camera followed by its target node, every
// one of them a direct child of the root.
std::unique_ptr<Scene> buildWaterScene();

} // namespace demo::bake
