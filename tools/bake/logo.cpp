// The logo scene's files: the title card scene, its pictures, the flare and
// the tunnel (see logo_assets.h for what each holds).
#include "bake/bake.h"
#include "bake/logo_assets.h"
#include "scene/scene.h"

namespace demo::bake {

void bakeLogo(BakeContext &context) {
  context.group("logo tunnel");
  context.writeGsp("logoscene.gsp", *buildLogoScene());
  // The scene file's materials name these two (kBackdropTexture and
  // kLogoTextTexture); the scene loads them again by the same names.
  const int detail = context.detail();
  context.writeJpeg("bgcomplete.jpg", paintBackdrop(detail));
  context.writeJpeg("logotextcomplete.jpg", paintLogoLettering(detail));
  context.writeJpeg("flare.jpg", paintFlare(detail));
  context.writeEbr("tunnel.ebr", buildTunnelMesh());
  context.writeJpeg("tunnel.jpg", paintTunnel(detail));
}

} // namespace demo::bake
