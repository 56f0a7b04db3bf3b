#include "sandbox/Pictures.h"

#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace vendrix::sandbox {
namespace {

struct Rgba {
  uint8_t r, g, b, a;
};

class Canvas {
 public:
  Canvas(int width, int height, Rgba fill)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), fill) {}

  void Set(int x, int y, Rgba color) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[Index(x, y)] = color;
  }
  // Fills every pixel whose centre, relative to (cx, cy) and scaled by `r`, satisfies `inside`.
  void Shape(double cx, double cy, double r, Rgba color,
             const std::function<bool(double, double)>& inside) {
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        double u = (x + 0.5 - cx) / r, v = (y + 0.5 - cy) / r;
        if (inside(u, v)) Set(x, y, color);
      }
    }
  }
  void Rect(int x0, int y0, int x1, int y1, Rgba color) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Set(x, y, color);
    }
  }

  std::string Png() const;

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y * width_ + x); }
  int width_, height_;
  std::vector<Rgba> pixels_;
};

void PutBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
  PutBigEndian(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  PutBigEndian(png, static_cast<uint32_t>(
                        crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                              static_cast<uInt>(body.size()))));
}

std::string Canvas::Png() const {
  std::string raw;
  raw.reserve(static_cast<size_t>(height_ * (width_ * 4 + 1)));
  for (int y = 0; y < height_; ++y) {
    raw += '\0';  // filter type None
    for (int x = 0; x < width_; ++x) {
      const Rgba& p = pixels_[Index(x, y)];
      raw += static_cast<char>(p.r);
      raw += static_cast<char>(p.g);
      raw += static_cast<char>(p.b);
      raw += static_cast<char>(p.a);
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
            reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 6);
  packed.resize(size);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  PutBigEndian(header, static_cast<uint32_t>(width_));
  PutBigEndian(header, static_cast<uint32_t>(height_));
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", "");
  return png;
}

uint32_t Hash(const std::string& text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

bool Heart(double u, double v) {
  // (x^2 + y^2 - 1)^3 - x^2 y^3 <= 0, y pointing up.
  double x = u * 1.15, y = -v * 1.15 + 0.15;
  double a = x * x + y * y - 1;
  return a * a * a - x * x * y * y * y <= 0;
}
bool Diamond(double u, double v) { return std::abs(u) * 1.1 + std::abs(v) <= 0.95; }
bool Crown(double u, double v) {
  if (v > 0.55 || v < -0.75 || std::abs(u) > 0.9) return false;
  if (v >= 0.05) return true;  // the band
  // Three points rising from the band.
  double nearest = std::min({std::abs(u + 0.7), std::abs(u), std::abs(u - 0.7)});
  return nearest <= (v + 0.75) * 0.45;
}

}  // namespace

std::string BadgePicture(const std::string& name) {
  struct Kind {
    const char* prefix;
    Rgba color;
    bool (*shape)(double, double);
  };
  static const Kind kinds[] = {{"b_red_", {230, 30, 40, 255}, Heart},
                               {"s_blue_", {40, 110, 230, 255}, Diamond},
                               {"s_cap_", {40, 110, 230, 255}, Crown},
                               {"s_crown_", {235, 170, 20, 255}, Crown}};
  for (const Kind& kind : kinds) {
    std::string prefix = kind.prefix;
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 5 ||
        !name.ends_with(".gif")) {
      continue;
    }
    int count = name[prefix.size()] - '0';
    if (count < 1 || count > 5) return "";
    Canvas canvas(16 * count, 16, {0, 0, 0, 0});
    for (int i = 0; i < count; ++i) canvas.Shape(8 + 16 * i, 8, 7, kind.color, kind.shape);
    return canvas.Png();
  }
  return "";
}

std::string LogoPicture(const std::string& path) {
  uint32_t h = Hash(path);
  Rgba back{static_cast<uint8_t>(120 + h % 120), static_cast<uint8_t>(120 + (h >> 8) % 120),
            static_cast<uint8_t>(120 + (h >> 16) % 120), 255};
  Canvas canvas(100, 100, back);
  Rgba mark{static_cast<uint8_t>(back.r / 3), static_cast<uint8_t>(back.g / 3),
            static_cast<uint8_t>(back.b / 3), 255};
  switch (h % 3) {
    case 0: canvas.Shape(50, 50, 32, mark, [](double u, double v) { return u * u + v * v <= 1; }); break;
    case 1: canvas.Shape(50, 50, 34, mark, Diamond); break;
    default: canvas.Shape(50, 52, 34, mark, Heart); break;
  }
  return canvas.Png();
}

std::string ItemPicture(const std::string& path, int size) {
  uint32_t h = Hash(path);
  Canvas canvas(size, size, {250, 250, 250, 255});
  for (int y = 0; y < size; ++y) {
    uint8_t shade = static_cast<uint8_t>(200 + 55 * y / size);
    Rgba row{static_cast<uint8_t>((h & 0x7F) + shade / 2), static_cast<uint8_t>(shade),
             static_cast<uint8_t>(((h >> 8) & 0x7F) + shade / 2), 255};
    canvas.Rect(0, y, size, y + 1, row);
  }
  Rgba mark{static_cast<uint8_t>((h >> 16) % 200), static_cast<uint8_t>((h >> 20) % 200),
            static_cast<uint8_t>((h >> 24) % 200), 255};
  double r = size * 0.3;
  canvas.Shape(size / 2.0, size / 2.0, r, mark, (h >> 4) % 2 ? Diamond : Crown);
  return canvas.Png();
}

std::string ShopButtonPicture() {
  Canvas canvas(96, 30, {0, 0, 0, 0});
  canvas.Shape(48, 15, 1, {255, 102, 0, 255}, [](double u, double v) {
    // A rounded rectangle 96 x 30 with corners of radius 6.
    double dx = std::max(std::abs(u) - 42, 0.0), dy = std::max(std::abs(v) - 9, 0.0);
    return dx * dx + dy * dy <= 36;
  });
  canvas.Shape(72, 15, 8, {255, 255, 255, 255},
               [](double u, double v) { return u >= -0.6 && u <= 0.6 - std::abs(v) * 0.9 && std::abs(v) <= 0.7; });
  canvas.Rect(20, 13, 64, 17, {255, 255, 255, 255});
  return canvas.Png();
}

}  // namespace vendrix::sandbox
