// The bundled sample: a generated scan of a machined part. A 120 x 60 x 20
// block carries a cylindrical boss, a through hole, a spherical dimple and a
// revolved knob; its surface is triangulated from the part's signed distance
// on a grid and every vertex moved along the surface normal by Gaussian
// noise, as a scanner would measure it. The same seed gives the same mesh.
#pragma once

#include "platform/geometry/mesh.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace dezaz
{

struct SamplePartOptions
{
    double cell = 0.98;           // grid spacing in millimetres (about 200k triangles)
    double noise_sigma = 0.01;    // millimetres, along the normal
    std::uint64_t seed = 20261207;
};

// Signed distance of the part (negative inside), in millimetres.
double SamplePartDistance(double x, double y, double z);

// A closed, consistently outward-oriented triangle mesh of the part.
void GenerateSamplePart(const SamplePartOptions& options, ON_Mesh& mesh);

// The part's true dimensions and how the scan was made, as text for a person.
std::string SamplePartDescription(const SamplePartOptions& options, const ON_Mesh& mesh);

// Binary STL of the triangles (quads are split); false with a message when
// the file cannot be written.
bool WriteBinaryStl(const std::filesystem::path& path, const ON_Mesh& mesh, std::wstring& error);

} // namespace dezaz
