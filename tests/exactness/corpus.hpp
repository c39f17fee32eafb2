// A fixed corpus of points for each evaluator, the same on every build:
// random values, 0/1 assignments, special values, and points whose sums
// nearly cancel, where any change in rounding shows.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace exactness {

class bits_source {
 public:
  explicit bits_source(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    state_ += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }
  // 24 significant bits in [-8, 8): sums of these round at nearly every step.
  float mixed() { return static_cast<float>(static_cast<std::int32_t>(next() >> 32) >> 8) * 0x1p-20f; }
  // Any sign, a binary exponent in [-range, range], any significand.
  float wide(int range) {
    auto const exponent = static_cast<std::uint32_t>(127 - range + static_cast<int>(below(2 * static_cast<std::size_t>(range) + 1)));
    return std::bit_cast<float>(static_cast<std::uint32_t>(next() & 0x807fffffU) | (exponent << 23));
  }

 private:
  std::uint64_t state_;
};

inline constexpr std::array<std::uint32_t, 16> special_bits{
    0x00000000, 0x80000000, 0x7f800000, 0xff800000,  // +-0, +-inf
    0x7fc00000, 0xffc00000, 0x7f800001, 0x7fbfffff,  // quiet and signalling NaNs
    0x00000001, 0x807fffff, 0x00800000,              // subnormals, smallest normal
    0x7f7fffff, 0xff7fffff, 0x7e967699, 0x5f000000,  // +-FLT_MAX, 1e38, 2^63
    0x3f800000,                                      // 1
};

// A point after a point, `dimension` floats each.
struct corpus {
  std::size_t dimension;
  std::vector<float> values;
  std::size_t count() const { return values.size() / dimension; }
  void add(std::vector<float> const& point) { values.insert(values.end(), point.begin(), point.end()); }
};

inline void add_common(corpus& c, std::uint64_t seed, int wide_range) {
  std::size_t const n = c.dimension;
  bits_source source(seed);
  std::vector<float> p(n);
  for (int k = 0; k < 160; ++k) {
    for (float& v : p) v = source.mixed();
    c.add(p);
  }
  for (int k = 0; k < 100; ++k) {
    for (float& v : p) v = source.wide(wide_range);
    c.add(p);
  }
  for (int k = 0; k < 40; ++k) {
    for (float& v : p) v = static_cast<float>(source.below(2));
    c.add(p);
  }
  for (int k = 0; k < 100; ++k) {
    for (float& v : p) v = source.mixed();
    std::size_t const specials = 1 + source.below(n / 8 > 0 ? n / 8 : 1);
    for (std::size_t s = 0; s < specials; ++s)
      p[source.below(n)] = std::bit_cast<float>(special_bits[source.below(special_bits.size())]);
    c.add(p);
  }
  for (std::uint32_t bits : special_bits) {
    std::fill(p.begin(), p.end(), std::bit_cast<float>(bits));
    c.add(p);
  }
}

// Each truck at one door, and an assignment whose terms are all -0.
inline void add_doorcost(corpus& c) {
  bits_source source(2);
  for (int n = 0; n < 100; ++n) {
    std::vector<float> p(240);
    for (std::size_t truck = 0; truck < 30; ++truck) p[truck * 8 + source.below(8)] = 1.0f;
    c.add(p);
  }
  std::vector<float> signed_zero(240);
  for (std::size_t n = 0; n < 120; ++n) signed_zero[n] = -0.0f;
  c.add(signed_zero);
}

// Points near a root of f in one coordinate: terms of order 1e10 cancel,
// and each step of the root shows in the result's low digits.
inline void add_quadobj(corpus& c) {
  struct near_root {
    std::uint32_t seed;
    std::size_t large_at;
    float large;
    std::size_t root_at;
    float root;
  };
  for (near_root const r : {near_root{865, 15, 0x1.fa9fbep+27f, 8, 0x1.5acd48p-7f},
                            near_root{1551, 1, 0x1.4147aep+27f, 10, -0x1.c8101ap+2f},
                            near_root{2217, 17, 0x1.d5c29p+27f, 22, -0x1.b24af4p+3f}}) {
    std::uint32_t state = r.seed;  // the tests' xorshift stream
    std::vector<float> p(50);
    for (float& v : p) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      v = static_cast<float>(static_cast<std::int32_t>(state) >> 8) * 0x1p-20f;
    }
    p[r.large_at] = r.large;
    for (int step = -40; step <= 40; ++step) {
      p[r.root_at] = std::bit_cast<float>(std::bit_cast<std::uint32_t>(r.root) + static_cast<std::uint32_t>(step));
      c.add(p);
    }
  }
}

// The corpus of the problem `name`: the common part for any problem, and
// for the two programs' problems the points that try them hardest.
inline corpus corpus_for(std::string_view name, std::size_t dimension) {
  corpus c{dimension, {}};
  if (name == "doorcost") {
    add_common(c, 1, 40);
    add_doorcost(c);
  } else if (name == "quadobj") {
    add_common(c, 3, 20);
    add_quadobj(c);
  } else {
    std::uint64_t seed = 1469598103934665603ULL;  // FNV-1a of the name
    for (char const ch : name) seed = (seed ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
    add_common(c, seed, 20);
  }
  return c;
}

}  // namespace exactness
