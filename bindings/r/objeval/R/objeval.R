# SPDX-License-Identifier: MIT
# The problems come from libobjeval's own table: evaluate() takes any of
# them by name; doorcost() and quadobj() are that call with the name given.
# They take x alone: nloptr refuses an objective with an argument it is not
# handed, a default or not. Their thread count is options(objeval.threads).

problems <- function() {
  table <- .Call(objeval_r_problems)
  data.frame(name = table[[1]], dimension = table[[2]], description = table[[3]], stringsAsFactors = FALSE)
}

# The problem's index and dimension, or an error naming those there are.
find_problem <- function(problem) {
  if (!is.character(problem) || length(problem) != 1 || is.na(problem)) {
    stop("objeval: problem must be one name, such as \"quadobj\"", call. = FALSE)
  }
  found <- .Call(objeval_r_find, problem)
  if (is.null(found)) {
    stop(sprintf("objeval: no such problem \"%s\"; the problems are %s", problem,
                 paste(problems()$name, collapse = ", ")), call. = FALSE)
  }
  found
}

# x as points of `dimension` numbers: list(x, count, rows), or an error
# naming the shape it came in.
as_points <- function(problem, dimension, x, threads) {
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
  list(x = x, count = as.double(if (rows) nrow(x) else 1), rows = rows, threads = as.double(min(threads, 4294967295)))
}

evaluate <- function(problem, x, threads = getOption("objeval.threads", 1L)) {
  values <- .Call(objeval_r_fast, problem, x, threads)  # a double vector or matrix, at the C call's cost
  if (!is.null(values)) return(values)
  found <- find_problem(problem)
  p <- as_points(problem, found[2], x, threads)
  .Call(objeval_r_evaluate, found[1], p$x, p$count, p$rows, p$threads)
}

# A double vector or matrix goes straight to the library (objeval_r_fast);
# anything else takes evaluate(), which says what is wrong.
doorcost <- function(x) {
  values <- .Call(objeval_r_fast, "doorcost", x, NULL)
  if (is.null(values)) evaluate("doorcost", x) else values
}

quadobj <- function(x) {
  values <- .Call(objeval_r_fast, "quadobj", x, NULL)
  if (is.null(values)) evaluate("quadobj", x) else values
}

# Studies: runs of an algorithm, every evaluation counted in order, logged
# where IOHanalyzer reads them.

# Text as the library takes it: UTF-8, whatever the session's encoding.
utf8 <- function(text) enc2utf8(as.character(text))

study <- function(folder, algorithm, info = "", every_evaluation = FALSE, points = FALSE, durable = FALSE,
                  add = FALSE) {
  stopifnot(is.character(folder), length(folder) == 1, is.character(algorithm), length(algorithm) == 1,
            is.character(info), length(info) == 1)
  options <- every_evaluation + 2 * points + 4 * durable + 8 * add
  pointer <- .Call(objeval_r_study_open, path.expand(folder), utf8(algorithm), utf8(info), as.double(options))
  structure(list(pointer = pointer, folder = folder, algorithm = algorithm), class = "objeval_study")
}

# A budget as the library takes it: 0 for NULL, else a whole number from 1
# to 2^64 - 1; anything else is refused, naming it.
budget_of <- function(budget) {
  if (is.null(budget)) return(0)
  if (!is.numeric(budget) || length(budget) != 1 || is.na(budget) || !is.finite(budget) ||
      budget != floor(budget) || budget < 1 || budget > 18446744073709549568) {
    stop(sprintf("objeval: a budget is a whole number of evaluations from 1 to 2^64 - 1 (NULL: no budget), not %s",
                 paste(deparse(budget), collapse = " ")), call. = FALSE)
  }
  as.double(budget)
}

# A run's attributes as "name=value;...": each named, one value each, NULL
# ones left out, and the language's.
attributes_text <- function(attributes) {
  if (length(attributes) && (is.null(names(attributes)) || any(names(attributes) == ""))) {
    stop("objeval: a run's attributes are named: seed = 1", call. = FALSE)
  }
  attributes <- attributes[!vapply(attributes, is.null, TRUE)]
  if (is.null(attributes$language)) attributes$language <- paste("R", getRversion())
  values <- vapply(names(attributes), function(name) {
    value <- attributes[[name]]
    if (!is.atomic(value) || length(value) != 1) {
      stop(sprintf("objeval: attribute %s: one value, not %d", name, length(value)), call. = FALSE)
    }
    text <- utf8(if (is.numeric(value) && !is.na(value) && value == round(value) && abs(value) < 1e15) {
      sprintf("%.0f", value)
    } else {
      as.character(value)
    })
    if (grepl("[;\t\n\r]", text)) {
      stop(sprintf("objeval: attribute %s: a value holds no ';', tab or line end, not \"%s\"", name, text),
           call. = FALSE)
    }
    text
  }, "")
  paste(names(attributes), values, sep = "=", collapse = ";")
}

close_study <- function(study) invisible(.Call(objeval_r_study_close, study$pointer))

study_run <- function(study, problem, budget = NULL, ...) {
  found <- find_problem(problem)
  most <- budget_of(budget)
  text <- attributes_text(list(...))
  pointer <- .Call(objeval_r_run_start, study$pointer, found[1], most, text)
  dimension <- found[2]
  # x alone, as nloptr takes an objective: the thread count is options(objeval.threads).
  f <- function(x) {
    values <- .Call(objeval_r_run_fast, pointer, dimension, x)
    if (is.double(values)) return(values)  # every point evaluated
    if (is.null(values)) {
      p <- as_points(problem, dimension, x, getOption("objeval.threads", 1L))
      values <- .Call(objeval_r_run_evaluate, pointer, p$x, p$count, p$rows, p$threads)
      values <- list(`attr<-`(values, "evaluated", NULL), attr(values, "evaluated"))
    }
    evaluated <- values[[2]]
    values <- values[[1]]
    if (evaluated < length(values)) {
      stop(structure(class = c("objeval_budget_spent", "error", "condition"),
                     list(message = sprintf("objeval: %s: the run's budget is spent: %d of %d points evaluated",
                                            problem, as.integer(evaluated), length(values)),
                          call = NULL, evaluated = evaluated, values = values[seq_len(evaluated)])))
    }
    values
  }
  structure(f, class = c("objeval_run", "function"), pointer = pointer, problem = problem, dimension = dimension)
}

run_state <- function(run) {
  state <- .Call(objeval_r_run_state, attr(run, "pointer"), as.double(attr(run, "dimension")))
  list(evaluations = state[[1]], best = state[[2]], best_point = state[[3]])
}

end_run <- function(run) invisible(.Call(objeval_r_run_end, attr(run, "pointer"), 0, ""))

fail_run <- function(run, reason = "") {
  invisible(.Call(objeval_r_run_end, attr(run, "pointer"), 1, utf8(paste(reason, collapse = " "))))
}

discard_run <- function(run) invisible(.Call(objeval_r_run_end, attr(run, "pointer"), 2, ""))
