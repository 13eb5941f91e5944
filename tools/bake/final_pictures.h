// final_pictures.h - the "complete maps" of the final scene's four boxes:
// one 1024 x 1024 picture per box holding all of its faces and its metal
// trim, with the lighting painted in (the scene draws the boxes unlit).
//
// Layout: a 3 x 3 grid of cells. Cells 0-5 are the faces +x, -x, +y, -y, +z,
// -z, each seen from outside with u to the right and v down (the same frames
// as makeBox: +z and -z stand upright with y up, +y has +z at its bottom
// edge, -y has -z there). Cells 6-8 are the trim metal in three strengths of
// light: facing up or forward, sideways, and down or back.
//
// Use: final.cpp builds each box's mesh against boxCell() and bakes the
// picture from the same BoxDesign. Nothing here writes files.
#pragma once

#include <string>

#include "bake/image.h"
#include "base/math.h"

namespace demo::bake {

constexpr int kBoxMapSize = 1024;

enum BoxCell { kCellPosX, kCellNegX, kCellPosY, kCellNegY, kCellPosZ, kCellNegZ, kCellTrimLit, kCellTrimSide, kCellTrimShade };

// The look of one box: its size in scene units (x, y, z), its paint, the
// colour of its markings and which set of markings it carries.
enum class BoxKind { Cargo, Canister, Instruments, PowerCell };

struct BoxDesign {
  std::string id; // stencilled on it, e.g. "KX-01"
  Vec3 size;
  Colour paint;
  Colour marking;
  BoxKind kind;
  uint32_t seed;
};

// The texture rectangle of a cell, two texels inside its edges so that
// filtering never reaches the next cell: (u0, v0) is the cell's top left,
// (u1, v1) its bottom right, v as drawn.
struct CellRect {
  float u0, v0, u1, v1;
};
CellRect boxCell(BoxCell cell);

// The whole picture for one box (RGB), kBoxMapSize base pixels a side
// painted at `detail` (image.h); the cells' rectangles are the same at every
// detail.
Image paintBoxMap(const BoxDesign &design, int detail = 1);

} // namespace demo::bake
