// Geometry for the generated scenes: parametric surfaces (spheres, tori,
// cylinders, height fields), boxes and flat quads, appended to a mesh with
// their texture mapping. Faces wind counter-clockwise seen from outside.
#pragma once

#include <functional>

#include "content/scene_model.h"

// A surface p(u, v) for u, v in 0..1, sampled on (nu + 1) x (nv + 1)
// vertices; the outside is the side of dp/du x dp/dv. Triangles that
// collapse (at the poles of a sphere) are left out. The mapping is
// (u * repeat_u, v * repeat_v).
void AddSurface(MeshSpec& mesh, int nu, int nv, const std::function<Vec3f(float, float)>& p,
                int material, float repeat_u, float repeat_v);

void AddSphere(MeshSpec& mesh, Vec3f centre, float radius, int nu, int nv, int material,
               float repeat_u = 1, float repeat_v = 1);
// Torus around the z axis.
void AddTorus(MeshSpec& mesh, Vec3f centre, float ring_radius, float tube_radius, int nu, int nv,
              int material, float repeat_u = 4, float repeat_v = 1);
// Open cylinder or cone along z from base_z to top_z.
void AddTube(MeshSpec& mesh, Vec3f base, float base_radius, float top_radius, float height,
             int sides, int material, float repeat_u = 1, float repeat_v = 1);
// Axis-aligned box from lo to hi with every face mapped once.
void AddBox(MeshSpec& mesh, Vec3f lo, Vec3f hi, int material);
// Quad a b c d, counter-clockwise seen from its front, mapped 0..1.
void AddQuad(MeshSpec& mesh, Vec3f a, Vec3f b, Vec3f c, Vec3f d, int material);

// Rotates the vertices from index `first` on about z by angle radians
// around centre, then moves them by offset.
void RotateZ(MeshSpec& mesh, size_t first, float angle_radians, Vec3f centre, Vec3f offset = {});
