# SPDX-License-Identifier: MIT
#' doorcost(x, threads = 1L) and quadobj(x, threads = 1L): x is a numeric
#' vector of 240 (50) values, one point, or a matrix of n rows, a point per
#' row; the result is one value per point, bit for bit the program's, as a
#' double. Integer and logical x are numbers; NA and NaN evaluate as the
#' programs evaluate nan. Each value is rounded once to float. threads: 0
#' for one per CPU this process may use; the values do not depend on it.
doorcost <- function(x, threads = 1L) evaluate(0L, "doorcost", 240L, x, threads)

quadobj <- function(x, threads = 1L) evaluate(1L, "quadobj", 50L, x, threads)

evaluate <- function(problem, name, dimension, x, threads) {
  shape <- sprintf("a numeric vector of %d values or a matrix of %d columns, a point per row", dimension, dimension)
  if (!(is.numeric(x) || is.logical(x)) || is.complex(x)) {
    stop(sprintf("objeval: %s: x must be %s; got %s", name, shape, class(x)[1]), call. = FALSE)
  }
  if (is.matrix(x)) {
    if (ncol(x) != dimension) {
      stop(sprintf("objeval: %s: x must be %s; got a %d x %d matrix", name, shape, nrow(x), ncol(x)), call. = FALSE)
    }
    count <- nrow(x)
  } else {
    if (!is.null(dim(x)) || length(x) != dimension) {
      stop(sprintf("objeval: %s: x must be %s; got %d values", name, shape, length(x)), call. = FALSE)
    }
    count <- 1L
  }
  if (!is.numeric(threads) || length(threads) != 1 || is.na(threads) || threads < 0 || threads != floor(threads)) {
    stop(sprintf("objeval: %s: threads must be a whole number, 0 (one per CPU) or more", name), call. = FALSE)
  }
  .Call(objeval_r_evaluate, problem, x, as.double(count), as.double(min(threads, 4294967295)))
}
