# SPDX-License-Identifier: MIT
# A random search on quadobj, 20 rounds of 1,000 candidates, each round one
# batch call on every CPU:
#   install.packages("objeval_VERSION.tar.gz", repos = NULL)   (once)
#   Rscript random_search.R
library(objeval)
dimension <- problems()$dimension[problems()$name == "quadobj"]
best <- numeric(dimension)
best_value <- quadobj(best)
for (round in 1:20) {
  candidates <- matrix(best, 1000, dimension, byrow = TRUE) + rnorm(1000 * dimension, sd = 0.1)
  candidates[] <- pmin(1, pmax(-1, candidates))
  values <- evaluate("quadobj", candidates, threads = 0)  # a point per row
  if (min(values) < best_value) {
    best_value <- min(values)
    best <- candidates[which.min(values), ]
  }
}
cat(sprintf("quadobj: %f after 20,000 points\n", best_value))
