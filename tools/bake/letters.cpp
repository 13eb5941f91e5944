// The letter scene's files: the letter cluster, the jelly blob and its
// sphere maps, the credits, the band texture and the squirrel (see
// letters_assets.h for what each holds).
#include "bake/bake.h"
#include "bake/letters_assets.h"
#include "scene/scene.h"

namespace demo::bake {

void bakeLetters(BakeContext &context) {
  context.group("letters");
  const int detail = context.detail();
  context.writeGsp("bokstavscene.gsp", *buildLetterScene());
  context.writeJpeg("phong.jpg", paintPhongMap(detail));
  context.writeJpeg("envmap_gummi.jpg", paintGummiMap(detail));
  context.writeEbr("gummi.ebr", buildJellyBlob());
  context.writeJpeg("ekorn.jpg", paintSquirrel(detail));
  // One size for all four: the scene places every credit by the size of the
  // first. Graphics has two pictures, told apart by their accent colour.
  context.writePng("credits/code.png", paintCredit("code", Colour{0.45f, 0.8f, 1.f, 1.f}, detail));
  context.writePng("credits/music.png", paintCredit("music", Colour{1.f, 0.6f, 0.3f, 1.f}, detail));
  context.writePng("credits/gfx1.png", paintCredit("graphics", Colour{0.6f, 1.f, 0.5f, 1.f}, detail));
  context.writePng("credits/gfx2.png", paintCredit("graphics", Colour{1.f, 0.5f, 0.85f, 1.f}, detail));
  context.writePng("overlays/o_border.png", paintBorder(detail));
}

} // namespace demo::bake
