// The water scene's files: the tank room (scene, eight textures), the pool's
// sphere map, and the height map, logo and square the scene loads.
#include <memory>

#include "bake/bake.h"
#include "bake/water_room.h"
#include "bake/water_textures.h"
#include "scene/scene.h"

namespace demo::bake {

void bakeWater(BakeContext &context) {
  context.group("water");
  const int detail = context.detail();
  std::unique_ptr<Scene> scene = buildWaterScene();
  context.writeGsp("vannscene.gsp", *scene);

  Image (*const painters[8])(int) = {paintOutermostBars, paintSecondBars, paintBoxCables,   paintLowerBars,
                                     paintShell,         paintTank,       paintThickCables, paintScreensAndBars};
  for (int i = 0; i < 8; ++i)
    context.writeJpeg(kWaterMeshes[i].texture, painters[i](detail), 90);

  context.writeJpeg("envmap_old.jpg", paintWaterEnvironment(detail), 92);
  context.writeJpeg("vannbump.jpg", paintWaterBump(detail), 95);
  context.writeJpeg("kestranelogo3d.jpg", paintLogo3d(detail), 92);
  context.writeJpeg("sq.jpg", paintSquare(detail), 95);
}

} // namespace demo::bake
