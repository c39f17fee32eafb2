# SPDX-License-Identifier: MIT
# The problems come from libobjeval's own table: evaluate() takes any of
# them by name; doorcost() and quadobj() are that call with the name given.
# They take x alone: nloptr refuses an objective with an argument it is not
# handed, a default or not. Their thread count is options(objeval.threads).

problems <- function() {
  table <- .Call(objeval_r_problems)
  data.frame(name = table[[1]], dimension = table[[2]], description = table[[3]], stringsAsFactors = FALSE)
}

evaluate <- function(problem, x, threads = getOption("objeval.threads", 1L)) {
  if (!is.character(problem) || length(problem) != 1 || is.na(problem)) {
    stop("objeval: problem must be one name, such as \"quadobj\"", call. = FALSE)
  }
  found <- .Call(objeval_r_find, problem)
  if (is.null(found)) {
    stop(sprintf("objeval: no such problem \"%s\"; the problems are %s", problem,
                 paste(problems()$name, collapse = ", ")), call. = FALSE)
  }
  dimension <- found[2]
  if (is.data.frame(x)) {
    kinds <- vapply(x, function(column) class(column)[1], "")
    not_numbers <- !vapply(x, function(column) is.numeric(column) || is.logical(column), TRUE)
    if (any(not_numbers)) {
      stop(sprintf("objeval: %s: a data frame must hold numbers; got a data frame with %s column %s", problem,
                   kinds[not_numbers][1], sQuote(names(x)[not_numbers][1], FALSE)), call. = FALSE)
    }
    x <- as.matrix(x)
  }
  shape <- sprintf("a numeric vector of %d values, a %d x 1 matrix, or a matrix of %d columns, a point per row",
                   dimension, dimension, dimension)
  if (!(is.numeric(x) || is.logical(x)) || is.complex(x)) {
    stop(sprintf("objeval: %s: x must be %s; got %s", problem, shape, class(x)[1]), call. = FALSE)
  }
  if (length(dim(x)) == 1) dim(x) <- NULL
  if (length(dim(x)) > 2) {
    stop(sprintf("objeval: %s: x must be %s; got a %s array", problem, shape, paste(dim(x), collapse = " x ")),
         call. = FALSE)
  }
  rows <- is.matrix(x) && !(ncol(x) == 1 && nrow(x) == dimension && dimension != 1)
  if (rows && ncol(x) != dimension || !is.matrix(x) && length(x) != dimension) {
    got <- if (is.matrix(x)) sprintf("a %d x %d matrix", nrow(x), ncol(x)) else sprintf("%d values", length(x))
    stop(sprintf("objeval: %s: x must be %s; got %s", problem, shape, got), call. = FALSE)
  }
  if (!is.numeric(threads) || length(threads) != 1 || is.na(threads) || threads < 0 || threads != floor(threads)) {
    stop(sprintf("objeval: %s: threads must be a whole number, 0 (one per CPU) or more", problem), call. = FALSE)
  }
  count <- if (rows) nrow(x) else 1
  .Call(objeval_r_evaluate, found[1], x, as.double(count), rows, as.double(min(threads, 4294967295)))
}

doorcost <- function(x) evaluate("doorcost", x)

quadobj <- function(x) evaluate("quadobj", x)
