// letter_scene.h - letters tumbling in front of a wobbling jelly blob, the
// whole picture glowing; the credits drift over the first 20 seconds.
//
// The timeline steps and draws it at t - 79.14 for 79.14 < t < 118.84, so the
// scene sees local times 0 to 39.7. A cluster of four letter meshes from
// "data/bokstavscene.gsp" (rest transforms only, sphere-mapped with
// "data/phong.jpg") is drawn twice, the second copy twice as large, in front
// of the environment-mapped jelly of "data/gummi.ebr". The jelly hides the
// letters behind it, and both the jelly's silhouette and the letters feed a
// glow.
//
// The two halves, chosen from the time each frame:
// - a < 20: one credit picture at a time (code, music, gfx1, gfx2, five
//   seconds each) drifts over the screen and heads for a new random place
//   whenever the low band is loud; faint grey scan bands; a white flash at
//   5, 10, 15 and 20 s. This overlay is drawn last, over everything.
// - a > 20: no credit picture; the bands take their colour from bins 1-3 and
//   the overlay goes in before the jelly; strong beats kick the jelly.
// - a = 20 exactly: no overlay at all.
//
// State carried from step to step (LetterMotion): the jelly, spin (turned by
// the low band), lastKick (the time of the last strong beat, which also moves
// the camera's aim from the next step on) and the credit picture's position
// and target. The jelly advances one step of its own per step.
//
// Drawing state left: Texture2D off (the last glow target bound), sphere-map
// generation off, Blend off, DepthTest and depth writes on, colour white,
// the viewport the whole frame, the clear colour black. For a < 20 the
// projection and model-view matrices are left at identity with the
// Projection mode current; otherwise the scene's view stays loaded with
// ModelView current. CullFace is left off whenever the overlay was drawn
// (a != 20).
//
// Missing nodes: a letter that the scene file lacks is reported once (at
// construction) and not drawn; a jelly mesh without parts draws nothing and
// is never kicked.
#pragma once

#include "effects/jelly_mesh.h"
#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scene/ebr_mesh.h"
#include "base/math.h"
#include "scene/scene.h"
#include "scenes/effect.h"

namespace demo {

// Where the credit overlay goes in a frame at local time a.
enum class LetterOverlayPlace {
  None,        // a = 20 exactly
  OnTop,       // a < 20: after the final glow
  BeforeJelly, // a > 20: under the jelly and its glow
};
LetterOverlayPlace letterOverlayPlace(float a);

// Which credit picture shows at a: k = int(0.2 a), 0 (code) to 3 (gfx2);
// -1 for none (k >= 4, and before 0).
int letterCreditIndex(float a);

// The white flash: envelope(peak, 0.2, 0.6, 3, a) summed over the peaks 5,
// 10, 15 and 20.
float letterFlash(float a);

struct LetterColour {
  float r, g, b, a;
};
// The scan bands' colour: grey 0.12 before 20 s, then (0.12 + 0.3 s[1],
// 0.12 + s[2], 0.32 + s[3], 1).
LetterColour letterBandColour(float a, const Spectrum &spectrum);

// Everything the scene carries between frames apart from the jelly. Plain
// C++, no GL; random numbers come from the C library's rand.
struct LetterMotion {
  static constexpr float kBeatLevel = 0.6f;      // bin 0 above this is a strong beat
  static constexpr float kBeatGap = 0.1f;        // at most one beat per 0.1 s
  static constexpr float kKickStart = 20.f;      // beats kick the jelly after this
  static constexpr int kKicksPerBeat = 3;
  static constexpr float kRetargetLevel = 0.3f;  // bin 0 above this moves the picture's target

  // spin += 100 dt s[0].
  void turn(float dt, float low);

  // A strong beat (low > 0.6 and a - lastKick > 0.1) sets lastKick = a.
  // Returns how many kicks the jelly gets: 3 for a beat after 20 s, else 0.
  int beat(float a, float low);

  // The credit picture of one frame, in this order: ease towards the target
  // (5 dt of the way); with s[0] > 0.3 a new target, x then y, anywhere the
  // w x h picture fits on the 800 x 600 screen; then jitter right and up by
  // up to 5 s[1] pixels each (x drawn first).
  void moveSprite(float dt, const Spectrum &spectrum, float w, float h, ShowRandom &random);

  Vec3 spritePos{0.f, 0.f, 0.f};
  Vec3 spriteTarget{0.f, 0.f, 0.f};
  float lastKick = 0.f;
  float spin = 0.f;
};

// `kicks` pokes of radius 15, each at a node n = random.next() % node count, from its
// current position along 350 x its loaded normal. A jelly without nodes is
// left alone (and draws no random numbers).
void kickJelly(JellyMesh &jelly, int kicks, ShowRandom &random);

class LetterScene : public Effect {
public:
  explicit LetterScene(const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame, ShowRandom &random) override;
  void draw(const FrameInput &frame) override;
  void restart() override;

  // Read-only views of the state, for tests and tools. The nodes are null
  // when the scene file lacks them; i is 0 to 3.
  const LetterMotion &motion() const { return motion_; }
  float drawnKick() const { return drawnKick_; }
  const JellyMesh &jelly() const { return jelly_; }
  const MeshNode *letterNode(int i) const { return letterNodes[i]; }
  const Texture &letterEnvTexture() const { return letterEnvTexture_; }
  const Texture &creditTexture(int i) const { return creditTextures[i]; }
  const Texture &jellyEnvTexture() const { return jellyEnvTexture_; }
  // Loaded but never drawn (see below).
  const Texture &squirrelTexture() const { return squirrelTexture_; }
  const MeshNode *torusNode() const { return torusNode_; }
  const Texture &borderTexture() const { return borderTexture_; }
  const Texture &spareCreditTexture(int i) const { return spareCreditTextures[i]; }

private:
  // Carried between steps (with the jelly's own nodes).
  LetterMotion motion_;
  // The aim a frame is drawn with: lastKick as it was before the last step's
  // beat (a beat moves the camera from the next step on).
  float drawnKick_ = 0.f;

  // Loaded in this order. Four of them are loaded (or looked up) but never
  // drawn: squirrelTexture, torusNode, borderTexture and
  // spareCreditTextures. They stay, each in its place, because the loading
  // sequence and its messages count on them.
  Texture squirrelTexture_; // loaded, not drawn
  Scene scene;             // not prepared; its cameras are not used
  MeshNode *letterNodes[4];
  MeshNode *torusNode_;    // looked up, not drawn
  Texture letterEnvTexture_;
  Texture creditTextures[4]; // code, music, gfx1, gfx2
  Texture borderTexture_;    // loaded, not drawn
  Texture spareCreditTextures[4]; // code, gfx1, gfx2, music; loaded, not drawn
  Texture jellyEnvTexture_;
  EbrMesh jellyMesh;
  JellyMesh jelly_;
  std::shared_ptr<RenderTarget> screenCopyStorage; // the copy of the whole frame
  RenderTarget &screenCopy;
  RenderTarget glowTarget;
  RenderTarget jellyTarget;

  void applyView(float a); // the scene's camera and turn, see draw()
  void drawOverlay(float a, const Spectrum &spectrum);
};

} // namespace demo
