// Loads arbitrary bytes as a world file, walks every type chain and calls
// every reader on every fragment.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "packages/world_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> copy(data, data + size);  // the loader unscrambles in place
  zira::WldFile world;
  if (zira::Failed(world.Load(copy, nullptr))) {
    world.Reset();
    return 0;
  }
  std::uint32_t walked = 0;
  for (std::uint32_t type = 0; type < 60; ++type) {
    for (zira::WldFragment* f = world.NextOfType(type, nullptr); f != nullptr; f = world.NextOfType(type, f)) {
      if (f->type != type || ++walked > world.RecordedCount()) __builtin_trap();
    }
  }
  if (walked != world.RecordedCount()) __builtin_trap();

  const std::int32_t count = static_cast<std::int32_t>(world.FragmentCount());
  for (std::int32_t number = 0; number <= count + 1; ++number) {
    zira::WldFragment* f = world.FragmentByNumber(number);
    if (f == nullptr) continue;
    if (f->name != nullptr) {
      volatile char last = f->nameLength > 0 ? f->name[f->nameLength - 1] : f->name[0];
      (void)last;
    }
    world.Resolve(static_cast<std::int32_t>(world.BodyU32At(*f, 0)));
    world.Resolve(-number);
    world.ModelTarget(f);
    zira::WldFragment* meshes[10];
    std::uint8_t meshCount = 0;
    if (world.SkeletonMeshes(f, meshes, &meshCount) > 10) __builtin_trap();
    const std::uint8_t frames = world.TextureFrameCount(f);
    for (std::uint32_t frame = 0; frame <= frames; ++frame) world.TextureFrameBitmaps(f, frame);
    world.MaterialBitmapCount(f);
    world.NextOfType(0x30, f);
    world.NextOfType(0x36, f);
    for (std::uint32_t offset = 0; offset < f->bodySize + 8 && offset < 64; offset += 4) world.BodyU32At(*f, offset);
    zira::ByteCursor body = world.Body(*f);
    body.Skip(0xFFFFFFF0u);
    body.Skip(0x40);
    if (body.ReadU32() != 0 || body.Ok()) __builtin_trap();
  }
  world.Reset();
  return 0;
}
