// quintervale-bake [--detail N] OUTDIR: writes every file the show loads into OUTDIR,
// its pictures at N times their base detail; quintervale-bake --icons DIR writes the desktop icon.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>

#include "bake/bake.h"
#include "bake/icon.h"
#include "base/data_path.h"

int main(int argc, char **argv) {
  CLI::App app("quintervale-bake - writes the show's data set (pictures, meshes, scenes, shader, music) from code", "quintervale-bake");
  app.set_version_flag("--version", "quintervale-bake " DEMO_VERSION);
  std::string outDir, iconDir;
  bool list = false;
  int detail = 1;
  app.add_option("OUTDIR", outDir, "Directory to write the data set into (created if missing)");
  app.add_option("--detail", detail,
                 "Paint every picture at N times its width and height (1, 2 or 4; default 1). Meshes, scenes, "
                 "the shader and the music are the same at every detail; a set above detail 1 says its detail "
                 "in " + std::string(demo::kDataDetailFile))
      ->check(CLI::IsMember({1, 2, 4}));
  app.add_flag("--list", list, "Print the name of every file the bake writes, and write nothing");
  // --icons DIR writes the program's desktop icon into DIR instead of the
  // data set: OUTDIR is required without it (checked after parsing) and has
  // no place beside it, nor has what shapes a bake.
  CLI::Option *outOption = app.get_option("OUTDIR");
  CLI::Option *iconsOption =
      app.add_option("--icons", iconDir,
                     "Write the program's desktop icon into DIR (created if missing): " +
                         std::string(demo::bake::kIconName) + "-48.png, -128.png, -256.png and " +
                         demo::bake::kIconName + ".svg; no data set is baked")
          ->type_name("DIR")
          ->excludes(outOption)
          ->excludes(app.get_option("--detail"))
          ->excludes(app.get_option("--list"));
  try {
    app.parse(argc, argv);
    if (iconsOption->count() == 0 && outOption->count() == 0)
      throw CLI::RequiredError(outOption->get_name());
  } catch (const CLI::ParseError &e) {
    return app.exit(e);
  }

  if (iconsOption->count() > 0) {
    if (!demo::bake::writeIcons(iconDir))
      return 1;
    std::fprintf(stderr, "bake: icon in %s\n", iconDir.c_str());
    return 0;
  }

  auto start = std::chrono::steady_clock::now();
  demo::bake::BakeContext context(outDir, list, detail);
  demo::bake::bakeStartAndEnd(context);
  demo::bake::bakeWater(context);
  demo::bake::bakeLogo(context);
  demo::bake::bakeLetters(context);
  demo::bake::bakeEvent(context);
  demo::bake::bakeCorridor(context);
  demo::bake::bakeFinal(context);
  demo::bake::bakeMusic(context);
  context.recordDetail();

  if (list) {
    for (const std::string &name : context.written())
      std::printf("%s\n", name.c_str());
    return 0;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (context.failed()) {
    std::fprintf(stderr, "bake: failed; %s is incomplete\n", outDir.c_str());
    return 1;
  }
  std::fprintf(stderr, "bake: %zu files in %s (%.1f s)\n", context.written().size(), outDir.c_str(), seconds);
  return 0;
}
