// vrtool scene: lists (dump), traces (trace) and evaluates (eval) 3D Studio
// scenes, read from a plain .3ds file or a library member (LIBRARY.dat:MEMBER).
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/scene_evaluation.h"
#include "scene/scene_dump.h"
#include "scene/tds_reader.h"
#include "vrtool/commands.h"
#include "vrtool/input_file.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: vrtool scene dump [--json] FILE\n"
    "       vrtool scene trace FILE\n"
    "       vrtool scene eval FILE FRAME\n"
    "\n"
    "FILE is a .3ds file or LIBRARY.dat:MEMBER (for example demo.dat:3ds\\\\city.3ds).\n"
    "  dump   lists meshes, materials, lights, cameras, the node tree and every\n"
    "         track's keys; --json prints one JSON object with the counts instead\n"
    "  trace  prints the reader's verbose trace of every chunk while loading\n"
    "  eval   evaluates every node's tracks at FRAME (a number, may be fractional)\n"
    "         and prints its position, scale, rotation and object-to-world matrix\n"
    "Exit status: 0 success, 1 the file cannot be read or loaded, 2 wrong usage.\n";

const char kDumpHelp[] =
    "usage: vrtool scene dump [--json] FILE\n"
    "Loads the scene and lists its records and tracks in a stable text form, or with\n"
    "--json as one JSON object: frames; meshes (name, vertices, faces, mapped);\n"
    "materials (name, flags, texture); lights (name, spot); cameras (name); nodes\n"
    "(name, type, parent, keys per track).\n";

const char kTraceHelp[] =
    "usage: vrtool scene trace FILE\n"
    "Loads the scene with the reader's verbose switch on: every chunk the reader\n"
    "meets is reported on standard output as it is read.\n";

const char kEvalHelp[] =
    "usage: vrtool scene eval FILE FRAME\n"
    "Evaluates every node's tracks at FRAME (3D Studio frame number, fractional\n"
    "allowed; each track applies its own repeat and clamp rules, the frame is not\n"
    "wrapped by the scene's length) and builds the node matrices down the tree;\n"
    "prints each node's track values and object-to-world matrix.\n";

bool IsHelp(const char* argument) {
  return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

int Usage(const char* message) {
  std::fprintf(stderr, "vrtool scene: %s\n%s", message, kUsage);
  return kExitUsage;
}

// Reads and parses the input; on failure prints one line and returns null.
Scene* LoadInput(const std::string& argument) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadInputFile(argument, &bytes, &error)) {
    std::fprintf(stderr, "vrtool scene: %s\n", error.c_str());
    return nullptr;
  }
  SceneLoadError load_error;
  Scene* scene = LoadSceneFromMemory(bytes.data(), bytes.size(), &load_error);
  if (scene == nullptr) {
    std::fprintf(stderr, "vrtool scene: %s: %s\n", argument.c_str(), load_error.message);
  }
  return scene;
}

void PrintMatrix(const char* title, const Matrix4x4& m) {
  std::printf("    %s:\n", title);
  for (const auto& row : m.m) {
    std::printf("      %12.6f %12.6f %12.6f %12.6f\n", row[0], row[1], row[2], row[3]);
  }
}

void PrintEvaluatedNode(const SceneNode* node, int depth) {
  for (; node != nullptr; node = node->next) {
    std::printf("%*s\"%s\" (%s)\n", depth * 2, "", node->name, NodeTypeName(node->type));
    const Vec3& p = node->position.value;
    const Vec3& s = node->scale.value;
    std::printf("    position (%g, %g, %g) scale (%g, %g, %g) hidden %d\n", p.x, p.y, p.z, s.x, s.y,
                s.z, node->hide.hidden);
    if (node->type == kNodeCamera) {
      std::printf("    fov %g roll %g\n", node->fov.value, node->roll.value);
    }
    if (node->type == kNodeLight || node->type == kNodeSpotlight) {
      const Vec3& c = node->colour.value;
      std::printf("    colour (%g, %g, %g) hotspot %g falloff %g\n", c.x, c.y, c.z,
                  node->hotspot.value, node->falloff.value);
    }
    PrintMatrix("rotation", node->rotation.rotation);
    PrintMatrix("object-to-world", node->object_to_world);
    PrintEvaluatedNode(node->first_child, depth + 1);
  }
}

int Dump(int argc, char** argv) {
  bool json = false;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (IsHelp(argv[i])) {
      std::fputs(kDumpHelp, stdout);
      return kExitOk;
    }
    if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else if (file == nullptr && argv[i][0] != '-') {
      file = argv[i];
    } else {
      return Usage((std::string("dump: unexpected argument '") + argv[i] + "'").c_str());
    }
  }
  if (file == nullptr) return Usage("dump: FILE is missing");
  Scene* scene = LoadInput(file);
  if (scene == nullptr) return kExitFailure;
  if (json) {
    DumpSceneJson(scene, stdout);
  } else {
    DumpSceneText(scene, stdout);
  }
  FreeScene(scene);
  return kExitOk;
}

int Trace(int argc, char** argv) {
  if (argc == 2 && IsHelp(argv[1])) {
    std::fputs(kTraceHelp, stdout);
    return kExitOk;
  }
  if (argc != 2) return Usage("trace: expects exactly one FILE");
  SceneReaderVerbose = true;
  Scene* scene = LoadInput(argv[1]);
  SceneReaderVerbose = false;
  std::fflush(stdout);
  if (scene == nullptr) return kExitFailure;
  FreeScene(scene);
  return kExitOk;
}

int Eval(int argc, char** argv) {
  if (argc >= 2 && IsHelp(argv[1])) {
    std::fputs(kEvalHelp, stdout);
    return kExitOk;
  }
  if (argc != 3) return Usage("eval: expects FILE and FRAME");
  char* end = nullptr;
  errno = 0;
  const float frame = std::strtof(argv[2], &end);
  if (end == argv[2] || *end != '\0' || errno != 0 || !std::isfinite(frame)) {
    return Usage((std::string("eval: FRAME '") + argv[2] + "' is not a number").c_str());
  }
  Scene* scene = LoadInput(argv[1]);
  if (scene == nullptr) return kExitFailure;
  Matrix4x4 identity;
  MatIdentity(&identity);
  std::printf("frame %g of %d\n", frame, scene->frame_count);
  for (int i = 0; i < scene->root_count; ++i) {
    EvaluateNodeTracks(scene->roots[i], frame);
    ComputeNodeMatrices(scene, scene->roots[i], &identity);
  }
  for (int i = 0; i < scene->root_count; ++i) PrintEvaluatedNode(scene->roots[i], 0);
  FreeScene(scene);
  return kExitOk;
}

}  // namespace

int RunSceneCommand(int argc, char** argv) {
  if (argc < 2) return Usage("an action is missing");
  if (IsHelp(argv[1])) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  const std::string action = argv[1];
  if (action == "dump") return Dump(argc - 1, argv + 1);
  if (action == "trace") return Trace(argc - 1, argv + 1);
  if (action == "eval") return Eval(argc - 1, argv + 1);
  return Usage(("unknown action '" + action + "'").c_str());
}
