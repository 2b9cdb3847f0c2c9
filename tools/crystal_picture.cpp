// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the picture of the Japanese version window: a crystal of diopside, the monoclinic
// pyroxene of the program's worked example, as it grows (prisms {100}, {010}, {110}
// closed by {-111} and {001}), shaded and outlined, 105 x 161 pixels, written as a JPEG.
//
//   dorvalix-crystal-picture OUTPUT.jpg
//
// The faces are the planes of the forms in the real cell (a = 9.75, b = 8.93, c = 5.26 Å,
// β = 105.8°): the normal of (hkl) is h·a* + k·b* + l·c*. The crystal is the intersection
// of their half-spaces, so every face is a convex polygon and hidden faces are simply those
// turned away from the viewer.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs size_t and FILE first
#include <numbers>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 105;
constexpr int kHeight = 161;
constexpr int kSamples = 4;  // sub-pixels per pixel and axis

struct Vec {
    double x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator*(double s, Vec a) {
    return {s * a.x, s * a.y, s * a.z};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Unit(Vec a) {
    return (1 / std::sqrt(Dot(a, a))) * a;
}

struct Plane {
    Vec normal;  // unit, outwards
    double distance;
};

struct Face {
    Vec normal;
    std::vector<Vec> corners;  // in order around the face
};

// The faces of one form {hkl} of point group 2/m (b the two-fold axis), at a central
// distance: (hkl), (-h-k-l), (h-kl), (-hk-l).
void AddForm(std::vector<Plane>& planes, const std::array<Vec, 3>& reciprocal, int h, int k, int l,
             double distance) {
    const int signs[4][3] = {{1, 1, 1}, {-1, -1, -1}, {1, -1, 1}, {-1, 1, -1}};
    for (const auto& s : signs) {
        const Vec n = Unit(static_cast<double>(s[0] * h) * reciprocal[0] +
                           static_cast<double>(s[1] * k) * reciprocal[1] +
                           static_cast<double>(s[2] * l) * reciprocal[2]);
        const bool seen = std::any_of(planes.begin(), planes.end(),
                                      [&](const Plane& p) { return Dot(p.normal, n) > 1 - 1e-9; });
        if (!seen) planes.push_back({n, distance});
    }
}

std::vector<Face> Polyhedron(const std::vector<Plane>& planes) {
    const double eps = 1e-7;
    std::vector<Vec> corners;
    const std::size_t n = planes.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            for (std::size_t k = j + 1; k < n; ++k) {
                const Vec a = planes[i].normal, b = planes[j].normal, c = planes[k].normal;
                const double det = Dot(a, Cross(b, c));
                if (std::fabs(det) < 1e-9) continue;
                // Cramer's rule for the point on all three planes.
                const Vec p = (1 / det) *
                              (planes[i].distance * Cross(b, c) + planes[j].distance * Cross(c, a) +
                               planes[k].distance * Cross(a, b));
                const bool inside = std::all_of(planes.begin(), planes.end(), [&](const Plane& q) {
                    return Dot(q.normal, p) <= q.distance + eps;
                });
                const bool known = std::any_of(corners.begin(), corners.end(),
                                               [&](Vec q) { return Dot(q - p, q - p) < 1e-10; });
                if (inside && !known) corners.push_back(p);
            }
        }
    }
    std::vector<Face> faces;
    for (const Plane& plane : planes) {
        Face face{plane.normal, {}};
        for (const Vec& p : corners) {
            if (std::fabs(Dot(plane.normal, p) - plane.distance) < 1e-6) face.corners.push_back(p);
        }
        if (face.corners.size() < 3) continue;
        Vec centre;
        for (const Vec& p : face.corners)
            centre = centre + p;
        centre = (1.0 / static_cast<double>(face.corners.size())) * centre;
        const Vec u = Unit(face.corners[0] - centre);
        const Vec v = Cross(plane.normal, u);
        std::sort(face.corners.begin(), face.corners.end(), [&](Vec p, Vec q) {
            return std::atan2(Dot(p - centre, v), Dot(p - centre, u)) <
                   std::atan2(Dot(q - centre, v), Dot(q - centre, u));
        });
        faces.push_back(std::move(face));
    }
    return faces;
}

struct Point {
    double x, y;
};

// Signed distance of p from the edge a -> b, positive on its left.
double EdgeDistance(Point a, Point b, Point p) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    return ((p.x - a.x) * dy - (p.y - a.y) * dx) / std::hypot(dx, dy);
}

bool WriteJpeg(const char* path, const std::vector<unsigned char>& rgb) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(rgb.data()) + info.next_scanline * kWidth * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dorvalix-crystal-picture OUTPUT.jpg\n");
        return 2;
    }
    // The cell of diopside, a along x, b along y, c in the xz plane.
    const double beta = 105.8 * std::numbers::pi / 180;
    const Vec a{9.75, 0, 0}, b{0, 8.93, 0}, c{5.26 * std::cos(beta), 0, 5.26 * std::sin(beta)};
    const double volume = Dot(a, Cross(b, c));
    const std::array<Vec, 3> reciprocal = {(1 / volume) * Cross(b, c), (1 / volume) * Cross(c, a),
                                           (1 / volume) * Cross(a, b)};

    std::vector<Plane> planes;
    AddForm(planes, reciprocal, 1, 0, 0, 1.00);
    AddForm(planes, reciprocal, 0, 1, 0, 1.05);
    AddForm(planes, reciprocal, 1, 1, 0, 1.12);
    AddForm(planes, reciprocal, -1, 1, 1, 2.25);
    AddForm(planes, reciprocal, 0, 0, 1, 2.95);
    const std::vector<Face> faces = Polyhedron(planes);

    // View: the prism axis c upright, turned about it and tipped towards the viewer.
    const Vec up = Unit(c);
    const Vec side0 = Unit(Cross(b, up));
    const double turn = -0.62, tip = 0.36;
    const Vec side = std::cos(turn) * side0 + std::sin(turn) * Unit(b);
    const Vec depth = Cross(side, up);  // towards the viewer
    const Vec viewUp = std::cos(tip) * up - std::sin(tip) * depth;
    const Vec toViewer = Cross(side, viewUp);
    const Vec light = Unit(0.45 * side + 0.75 * viewUp + 0.8 * toViewer);

    // Project and fit into the picture with a margin.
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const Face& f : faces) {
        for (const Vec& p : f.corners) {
            minX = std::min(minX, Dot(p, side));
            maxX = std::max(maxX, Dot(p, side));
            minY = std::min(minY, Dot(p, viewUp));
            maxY = std::max(maxY, Dot(p, viewUp));
        }
    }
    const double margin = 9;
    const double scale =
        std::min((kWidth - 2 * margin) / (maxX - minX), (kHeight - 2 * margin) / (maxY - minY));
    const double offsetX = kWidth / 2.0 - scale * (minX + maxX) / 2;
    const double offsetY = kHeight / 2.0 + scale * (minY + maxY) / 2;
    auto project = [&](Vec p) {
        return Point{offsetX + scale * Dot(p, side), offsetY - scale * Dot(p, viewUp)};
    };

    struct Drawn {
        std::vector<Point> corners;  // counter-clockwise on screen
        std::array<double, 3> colour;
    };
    std::vector<Drawn> drawn;
    const std::array<double, 3> green = {0.25, 0.55, 0.30};
    for (const Face& f : faces) {
        const double facing = Dot(f.normal, toViewer);
        if (facing <= 1e-6) continue;
        Drawn d;
        for (const Vec& p : f.corners)
            d.corners.push_back(project(p));
        double area = 0;
        for (std::size_t i = 0; i < d.corners.size(); ++i) {
            const Point p = d.corners[i], q = d.corners[(i + 1) % d.corners.size()];
            area += p.x * q.y - q.x * p.y;
        }
        if (area < 0) std::reverse(d.corners.begin(), d.corners.end());
        // Lambert shading with some ambient light and a touch of specular sheen.
        const double diffuse = std::max(0.0, Dot(f.normal, light));
        const Vec halfway = Unit(light + toViewer);
        const double sheen = std::pow(std::max(0.0, Dot(f.normal, halfway)), 24);
        for (int i = 0; i < 3; ++i)
            d.colour[static_cast<std::size_t>(i)] = std::min(
                1.0, green[static_cast<std::size_t>(i)] * (0.45 + 0.85 * diffuse) + 0.55 * sheen);
        drawn.push_back(std::move(d));
    }

    std::vector<unsigned char> rgb(static_cast<std::size_t>(kWidth * kHeight * 3));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            double sum[3] = {0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Point p{x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples};
                    // A pale background that darkens a little towards the bottom.
                    const double shade = 1.0 - 0.10 * p.y / kHeight;
                    double colour[3] = {0.96 * shade, 0.97 * shade, 0.99 * shade};
                    for (const Drawn& d : drawn) {
                        double nearest = 1e9;
                        bool inside = true;
                        for (std::size_t i = 0; i < d.corners.size(); ++i) {
                            // Screen y points down: inside is to the right of each edge.
                            const double e = -EdgeDistance(
                                d.corners[i], d.corners[(i + 1) % d.corners.size()], p);
                            if (e < 0) inside = false;
                            nearest = std::min(nearest, e);
                        }
                        if (!inside) continue;
                        const bool edge = nearest < 0.6;
                        for (int i = 0; i < 3; ++i)
                            colour[i] = edge ? 0.08 : d.colour[static_cast<std::size_t>(i)];
                        break;
                    }
                    for (int i = 0; i < 3; ++i)
                        sum[i] += colour[i];
                }
            }
            for (int i = 0; i < 3; ++i) {
                const double v = sum[i] / (kSamples * kSamples);
                rgb[static_cast<std::size_t>((y * kWidth + x) * 3 + i)] =
                    static_cast<unsigned char>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
            }
        }
    }
    if (!WriteJpeg(argv[1], rgb)) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
