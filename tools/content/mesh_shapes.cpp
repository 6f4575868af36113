// Geometry primitives for the generated scenes.
#include "content/mesh_shapes.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;

Vec3f Cross(Vec3f a, Vec3f b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Length(Vec3f v) {
  return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

void AddTriangle(MeshSpec& mesh, uint16_t a, uint16_t b, uint16_t c, int material) {
  const Vec3f& pa = mesh.vertices[a];
  const Vec3f e1 = mesh.vertices[b] - pa, e2 = mesh.vertices[c] - pa;
  // Collapsed (two corners on one point, as at a sphere's poles, where
  // rounding leaves slivers): no defined side, so no face.
  if (Length(Cross(e1, e2)) <= 1e-4f * Length(e1) * Length(e2)) return;
  mesh.faces.push_back({a, b, c});
  mesh.face_materials.push_back(material);
}

}  // namespace

void AddSurface(MeshSpec& mesh, int nu, int nv, const std::function<Vec3f(float, float)>& p,
                int material, float repeat_u, float repeat_v) {
  const size_t first = mesh.vertices.size();
  for (int j = 0; j <= nv; ++j) {
    for (int i = 0; i <= nu; ++i) {
      const float u = static_cast<float>(i) / static_cast<float>(nu);
      const float v = static_cast<float>(j) / static_cast<float>(nv);
      mesh.vertices.push_back(p(u, v));
      mesh.mapping.push_back({u * repeat_u, v * repeat_v});
    }
  }
  auto at = [&](int i, int j) {
    return static_cast<uint16_t>(first + static_cast<size_t>(j * (nu + 1) + i));
  };
  for (int j = 0; j < nv; ++j) {
    for (int i = 0; i < nu; ++i) {
      AddTriangle(mesh, at(i, j), at(i + 1, j), at(i + 1, j + 1), material);
      AddTriangle(mesh, at(i, j), at(i + 1, j + 1), at(i, j + 1), material);
    }
  }
}

void AddSphere(MeshSpec& mesh, Vec3f centre, float radius, int nu, int nv, int material,
               float repeat_u, float repeat_v) {
  AddSurface(
      mesh, nu, nv,
      [&](float u, float v) {
        const float theta = 2 * kPi * u;
        const float phi = kPi * v;
        return centre + Vec3f{std::cos(theta) * std::sin(phi), std::sin(theta) * std::sin(phi),
                              -std::cos(phi)} *
                            radius;
      },
      material, repeat_u, repeat_v);
}

void AddTorus(MeshSpec& mesh, Vec3f centre, float ring_radius, float tube_radius, int nu, int nv,
              int material, float repeat_u, float repeat_v) {
  AddSurface(
      mesh, nu, nv,
      [&](float u, float v) {
        const float theta = 2 * kPi * u;
        const float phi = -2 * kPi * v;
        const float r = ring_radius + tube_radius * std::cos(phi);
        return centre +
               Vec3f{std::cos(theta) * r, std::sin(theta) * r, -tube_radius * std::sin(phi)};
      },
      material, repeat_u, repeat_v);
}

void AddTube(MeshSpec& mesh, Vec3f base, float base_radius, float top_radius, float height,
             int sides, int material, float repeat_u, float repeat_v) {
  AddSurface(
      mesh, sides, 1,
      [&](float u, float v) {
        const float theta = 2 * kPi * u;
        const float r = base_radius + (top_radius - base_radius) * v;
        return base + Vec3f{std::cos(theta) * r, std::sin(theta) * r, height * v};
      },
      material, repeat_u, repeat_v);
}

void AddQuad(MeshSpec& mesh, Vec3f a, Vec3f b, Vec3f c, Vec3f d, int material) {
  const size_t first = mesh.vertices.size();
  mesh.vertices.insert(mesh.vertices.end(), {a, b, c, d});
  mesh.mapping.insert(mesh.mapping.end(), {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  const auto i = static_cast<uint16_t>(first);
  AddTriangle(mesh, i, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 2), material);
  AddTriangle(mesh, i, static_cast<uint16_t>(i + 2), static_cast<uint16_t>(i + 3), material);
}

void AddBox(MeshSpec& mesh, Vec3f lo, Vec3f hi, int material) {
  const Vec3f p[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                      {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                      {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  AddQuad(mesh, p[0], p[3], p[2], p[1], material);  // bottom
  AddQuad(mesh, p[4], p[5], p[6], p[7], material);  // top
  AddQuad(mesh, p[0], p[1], p[5], p[4], material);  // -y
  AddQuad(mesh, p[1], p[2], p[6], p[5], material);  // +x
  AddQuad(mesh, p[2], p[3], p[7], p[6], material);  // +y
  AddQuad(mesh, p[3], p[0], p[4], p[7], material);  // -x
}

void RotateZ(MeshSpec& mesh, size_t first, float angle_radians, Vec3f centre, Vec3f offset) {
  const float c = std::cos(angle_radians);
  const float s = std::sin(angle_radians);
  for (size_t i = first; i < mesh.vertices.size(); ++i) {
    const Vec3f d = mesh.vertices[i] - centre;
    mesh.vertices[i] = centre + Vec3f{d.x * c - d.y * s, d.x * s + d.y * c, d.z} + offset;
  }
}
