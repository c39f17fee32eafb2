// SPDX-License-Identifier: MIT
// The C library keeps batch threads between calls, waiting in its own code:
// a dlclose after a threaded call must not unmap it under them.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include <dlfcn.h>

namespace {

TEST(CApi, StaysLoadedAfterDlcloseOnceItsThreadsExist) {
  void* library = dlopen(OBJEVAL_C_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  using batch = void (*)(float const*, std::size_t, float*, unsigned);
  auto const quadobj_batch = reinterpret_cast<batch>(dlsym(library, "objeval_quadobj_batch_threads"));
  ASSERT_NE(quadobj_batch, nullptr) << dlerror();
  std::vector<float> points(1024 * 50, 0.5f), results(1024);
  quadobj_batch(points.data(), results.size(), results.data(), 2);
  ASSERT_EQ(dlclose(library), 0);
  EXPECT_NE(dlopen(OBJEVAL_C_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
