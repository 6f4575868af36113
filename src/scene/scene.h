// The in-memory 3D Studio scene: the meshes, materials, lights and cameras of
// a file's editor section and the keyframer's tree of nodes with their
// animation tracks. All records are plain structures, zero-filled when
// created; the scene owns every record reachable from it, and the links
// between records (a node's object and parent, a light's or camera's node, a
// morph key's mesh) own nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "math/vector_math.h"

inline constexpr int kSceneNameSize = 64;        // names hold at most 63 characters
inline constexpr int kTextureFileNameSize = 80;  // texture file names at most 79
inline constexpr int kMaxRootNodes = 256;
inline constexpr int kMaxMaterials = 256;

struct Mesh;
struct SceneNode;

// ---------------------------------------------------------------- editor ---

struct Face {
  int32_t a;  // vertex indices, below the mesh's vertex count
  int32_t b;
  int32_t c;
  // The file's face flag word masked with 1, 2, 4 and 8; each keeps the
  // masked value (0 or 1, 0 or 2, 0 or 4, 0 or 8).
  int32_t flag0;
  int32_t flag1;
  int32_t flag2;
  int32_t flag3;
  int32_t material;  // index into Scene::materials; -1 selects the default material
  Vec3 normal;       // unit normal of (b - a) x (c - a); (0, 0, 0) for a zero-area face
  Vec3 centre;
};

struct MapCoord {
  float u;
  float v;  // stored negated relative to the file
};

struct Mesh {
  char name[kSceneNameSize];
  Vec3 origin;           // translation of the local axis chunk
  Vec3 axes[3];          // X, Y and Z axis rows of the local axis chunk
  int32_t vertex_count;  // 0..65535
  Vec3* vertices;
  Vec3* vertex_normals;  // unit length; (0, 0, 0) for a vertex no face uses
  MapCoord* mapping;     // one per vertex; all zero when the file has no mapping
  int32_t face_count;    // 0..65535
  Face* faces;
};

// Material flag bits.
inline constexpr uint32_t kMaterialShadingMask = 0x03;  // file shading value - 1; 0 = flat
inline constexpr uint32_t kMaterialTextured = 0x04;     // texture_file is valid
inline constexpr uint32_t kMaterialCreated = 0x08;      // set on every material read
inline constexpr uint32_t kMaterialTwoSided = 0x10;
inline constexpr uint32_t kMaterialDrawn = 0x80;  // polygons of a material without it are dropped

struct Material {
  char name[kSceneNameSize];
  uint32_t flags;         // kMaterial... bits; 0x88 when read
  int32_t texture_index;  // set by the content loader; 0 until then, -1 in the default material
  Vec3 ambient;           // r, g, b: 0..255 from 24-bit colours, as stored from float colours
  Vec3 diffuse;
  Vec3 specular;
  float self_illumination;  // the file's percentage * 0.01
  char texture_file[kTextureFileNameSize];
};

struct Light {
  char name[kSceneNameSize];
  Vec3 position;
  int32_t spot;     // 1 for a spotlight
  int32_t enabled;  // 0 when the file switches the light off
  Vec3 colour;      // r, g, b in 0..1
  SceneNode* node;  // the node whose matrix and colour track describe the light, or null
};

struct Camera {
  char name[kSceneNameSize];
  Vec3 position;
  Vec3 target;
  float roll;  // degrees
  float lens;  // focal length
  float near_range;
  float far_range;  // 1000 unless the file gives ranges
  SceneNode* node;
  SceneNode* target_node;
};

// ------------------------------------------------------------- keyframer ---

// Tension, continuity, bias and the ease values of one key; 0 unless given.
struct TcbParams {
  float tension;
  float continuity;
  float bias;
  float ease_to;
  float ease_from;
};

struct ScalarKey {
  int32_t frame;
  float value;
  float tangent_out;
  float tangent_in;
  TcbParams tcb;
};

struct VectorKey {
  int32_t frame;
  Vec3 value;
  Vec3 tangent_out;
  Vec3 tangent_in;
  TcbParams tcb;
};

struct RotationKey {
  int32_t frame;
  Matrix4x4 rotation;          // absolute rotation at this key
  Matrix4x4 inverse_rotation;  // its inverse
  AngleAxis relative;          // rotation relative to the previous key (angle 0 for key 0)
  TcbParams tcb;
};

struct MorphKey {
  int32_t frame;
  TcbParams tcb;
  char object_name[kSceneNameSize];
  Mesh* mesh;  // link, owns nothing
};

struct HideKey {
  int32_t frame;
};

// Track flag bits 0-1: the repeat mode.
inline constexpr int32_t kTrackRepeatMask = 0x03;
inline constexpr int32_t kTrackModeRepeat = 2;  // the frame wraps into the key range
inline constexpr int32_t kTrackModeLoop = 3;    // cyclic neighbours, clamped ends

// Every track: the file's flags (sign-extended), the keys in increasing frame
// order (owned), then the current value written by evaluation.
struct ScalarTrack {
  int32_t flags;
  int32_t key_count;
  ScalarKey* keys;
  float value;
};

struct VectorTrack {
  int32_t flags;
  int32_t key_count;
  VectorKey* keys;
  Vec3 value;
};

struct RotationTrack {
  int32_t flags;
  int32_t key_count;
  RotationKey* keys;
  Matrix4x4 rotation;
  Matrix4x4 inverse_rotation;
};

// Read and kept, never evaluated.
struct MorphTrack {
  int32_t flags;
  int32_t key_count;
  MorphKey* keys;
};

struct HideTrack {
  int32_t flags;
  int32_t key_count;
  HideKey* keys;
  int32_t hidden;  // 1 hidden, 0 shown
};

enum SceneNodeType : int32_t {
  kNodeObject = 1,        // linked to the Mesh of the same name
  kNodeLight = 2,         // Light
  kNodeLightTarget = 3,   // Light
  kNodeSpotlight = 4,     // Light
  kNodeCamera = 5,        // Camera
  kNodeCameraTarget = 6,  // Camera
};

// A vertex's colour as lit for a face of one material, kept within a frame
// for the other faces of that material that share the vertex.
struct VertexLight {
  Vec3 colour;
  uint32_t material_key;  // 0: not lit in this frame
};

struct SceneNode {
  SceneNode* next;  // next sibling; null for the last child and for every root
  SceneNode* first_child;
  SceneNode* parent;  // null for a root
  char name[kSceneNameSize];
  void* object;               // the linked Mesh, Light or Camera, by type
  int32_t type;               // SceneNodeType
  int32_t target;             // 1 for camera-target and light-target nodes
  Vec3 pivot;                 // object nodes: the mesh's origin has been added
  Matrix4x4 object_to_world;  // written by scene evaluation; row 3 is the world position
  Matrix4x4 world_to_object;
  Matrix4x4 object_to_camera;
  VectorTrack position;
  RotationTrack rotation;
  VectorTrack scale;
  ScalarTrack fov;   // degrees
  ScalarTrack roll;  // degrees
  VectorTrack colour;
  MorphTrack morph;
  ScalarTrack hotspot;
  ScalarTrack falloff;
  HideTrack hide;
  // Work buffers of object nodes, sized when the node header was read; null
  // for other node types (and for a count of 0).
  Vec3* vertex_work;          // one per mesh vertex
  Vec3* light_work;           // one per light of the scene
  uint32_t* face_visibility;  // one per mesh face
  uint32_t* vertex_use;       // one per mesh vertex
  VertexLight* vertex_light;  // one per mesh vertex
};

struct Scene {
  int32_t frame_count;  // animation length; 0 without a keyframer
  float frame_rate;     // 30 when read; the content loader sets 25
  int32_t root_count;
  SceneNode* roots[kMaxRootNodes];
  int32_t mesh_count;
  Mesh* meshes;
  int32_t light_count;
  Light* lights;
  int32_t camera_count;
  Camera* cameras;  // the renderer uses camera 0
  int32_t material_count;
  Material* materials[kMaxMaterials];
  Material default_material;  // for faces with material -1
};

// ------------------------------------------------------------ operations ---

// Loads a scene from a member of the open file library (ContentLibrary);
// null on failure.
Scene* LoadScene(const char* path);
// Releases a scene and everything it owns; null is accepted and ignored.
void FreeScene(Scene* scene);
// Releases a node, its descendants and its following siblings.
void FreeSceneNode(SceneNode* node);

// Append one zero-filled record to the array and return it; addresses of
// earlier records change. Null when memory runs out (the scene is unchanged).
Mesh* AppendMesh(Scene* scene);
Light* AppendLight(Scene* scene);
Camera* AppendCamera(Scene* scene);

// First record in array order whose name equals name (case-sensitive), or null.
Mesh* FindMesh(Scene* scene, const char* name);
Light* FindLight(Scene* scene, const char* name);
Camera* FindCamera(Scene* scene, const char* name);

// Allocates an empty scene (zero-filled, frame rate 30); null when memory runs out.
Scene* CreateScene();
// Sets the default material: flags 0x81, texture index -1, ambient black,
// diffuse white.
void SetDefaultMaterial(Scene* scene);
