// SPDX-License-Identifier: MIT
#include <objeval/doorcost.hpp>
#include <objeval/quadobj.hpp>

#include <array>
#include <cstdio>
#include <vector>

int main() {
  std::array<float, objeval::doorcost::dimension> ones;
  ones.fill(1.0f);
  std::array<float, objeval::quadobj::dimension> x0{};
  x0[0] = 1.0f;
  std::vector<float> both(ones.begin(), ones.end());
  both.insert(both.end(), ones.begin(), ones.end());
  std::vector<float> costs(2);
  objeval::doorcost::cost_batch(both, costs, 0);

  bool const ok = objeval::doorcost::cost(ones) == 1147840.0f && costs[0] == 1147840.0f &&
                  costs[1] == 1147840.0f && objeval::quadobj::objective(x0) == 21.31597754f;
  std::printf("%s\n", ok ? "consumer_cpp: ok" : "consumer_cpp: wrong values");
  return ok ? 0 : 1;
}
