# SPDX-License-Identifier: MIT
# The R package against the golden bits, one point and batch, on every
# thread count; its errors; then real callers: optim (L-BFGS-B), DEoptim
# and nloptr.
#   Rscript r_test.R CORPUS_DIR STUDY_FORMAT_PY
library(objeval)
corpus <- commandArgs(trailingOnly = TRUE)[1]
study_format <- commandArgs(trailingOnly = TRUE)[2]
failures <- 0

read_floats <- function(path) {
  size <- file.size(path)
  readBin(path, "double", n = size / 4, size = 4, endian = "little")
}
float_bits <- function(values) writeBin(as.double(values), raw(), size = 4, endian = "little")
compare <- function(what, got, golden) {
  same <- identical(float_bits(got), float_bits(golden))
  if (!same) {
    wrong <- which(float_bits(got) != float_bits(golden))[1] %/% 4
    cat(sprintf("FAIL %s: first difference at point %d: got %a, golden %a\n", what, wrong, got[wrong + 1],
                golden[wrong + 1]))
    failures <<- failures + 1
  }
}
expect_error <- function(pattern, expression) {
  message <- tryCatch({ expression; "no error" }, error = function(e) conditionMessage(e))
  if (!grepl(pattern, message)) {
    cat(sprintf("FAIL: \"%s\", an error matching \"%s\" expected\n", message, pattern))
    failures <<- failures + 1
  }
}

for (row in seq_len(nrow(problems()))) {
  name <- problems()$name[row]; dimension <- problems()$dimension[row]; f <- function(...) evaluate(name, ...)
  points <- matrix(read_floats(file.path(corpus, paste0(name, ".points.f32"))), ncol = dimension, byrow = TRUE)
  golden <- read_floats(file.path(corpus, paste0(name, ".golden.f32")))
  for (threads in c(1, 2, 0)) compare(paste(name, "batch"), f(points, threads = threads), golden)
  compare(paste(name, "one point"), apply(points, 1, f), golden)
  shape <- sprintf("vector of %d values, a %d x 1 matrix, or a matrix of %d columns", dimension, dimension, dimension)
  expect_error(shape, f(matrix(0, 3, dimension + 1)))
  expect_error(shape, f(rep(0, dimension - 1)))
  expect_error(shape, f(rep("0", dimension)))
  expect_error(shape, f(complex(dimension)))
  expect_error("threads", f(rep(0, dimension), threads = -1))
  compare(paste(name, "integer and logical"), f(rep(1L, dimension)), f(rep(TRUE, dimension)))
  if (!is.nan(f(c(NA, rep(0, dimension - 1))))) {
    cat(sprintf("FAIL %s: NA should evaluate as nan\n", name)); failures <- failures + 1
  }
  if (length(f(matrix(0, 0, dimension))) != 0) {
    cat(sprintf("FAIL %s: no points should give no values\n", name)); failures <- failures + 1
  }
}

# optim asks for one point at a time; its numeric gradient's default step,
# 1e-3, is one float inputs can see.
result <- optim(rep(0, 50), quadobj, method = "L-BFGS-B", lower = -1, upper = 1)
compare("optim's reported value", result$value, quadobj(result$par))
cat(sprintf("r: optim (L-BFGS-B) on quadobj reached %.6f\n", result$value))
if (requireNamespace("DEoptim", quietly = TRUE)) {
  set.seed(1)
  result <- DEoptim::DEoptim(quadobj, rep(-1, 50), rep(1, 50), DEoptim::DEoptim.control(itermax = 30, trace = FALSE))
  compare("DEoptim's reported value", result$optim$bestval, quadobj(result$optim$bestmem))
  cat(sprintf("r: DEoptim on quadobj reached %.6f\n", result$optim$bestval))
} else {
  cat("SKIPPED DEoptim: the package is not installed (Debian: r-cran-deoptim)\n")
}
# nloptr refuses an objective with an argument it is not handed.
if (requireNamespace("nloptr", quietly = TRUE)) {
  result <- nloptr::nloptr(rep(0, 50), eval_f = quadobj, lb = rep(-1, 50), ub = rep(1, 50),
                           opts = list(algorithm = "NLOPT_LN_BOBYQA", maxeval = 1000))
  compare("nloptr's reported value", result$objective, quadobj(result$solution))
  cat(sprintf("r: nloptr (BOBYQA) on quadobj reached %.6f\n", result$objective))
} else {
  cat("SKIPPED nloptr: the package is not installed (Debian: r-cran-nloptr)\n")
}
# A study of two algorithms: random search on a budget, whose last batch
# crosses it, and nloptr with a run as its objective; IOHanalyzer's rules
# load every run, each with exactly its evaluations.
folder <- file.path(tempdir(), "study")
s <- study(folder, "random search", "uniform in [-1, 1]")
for (seed in 1:3) {
  set.seed(seed)
  f <- study_run(s, "quadobj", budget = 55, seed = seed)
  spent <- tryCatch({
    for (k in 1:6) f(matrix(runif(10 * 50, -1, 1), nrow = 10))
    NULL
  }, objeval_budget_spent = function(e) e)
  state <- run_state(f)
  if (is.null(spent) || spent$evaluated != 5 || state$evaluations != 55 || state$best != quadobj(state$best_point)) {
    cat(sprintf("FAIL the run of seed %d: %s evaluations\n", seed, state$evaluations)); failures <- failures + 1
  }
  end_run(f)
}
close_study(s)
runs <- 3
if (requireNamespace("nloptr", quietly = TRUE)) {
  s <- study(folder, "BOBYQA", "nloptr, from 0")
  f <- study_run(s, "quadobj", seed = 0)
  result <- nloptr::nloptr(rep(0, 50), eval_f = f, lb = rep(-1, 50), ub = rep(1, 50),
                           opts = list(algorithm = "NLOPT_LN_BOBYQA", maxeval = 200))
  compare("nloptr's best in the study", run_state(f)$best, result$objective)
  end_run(f)
  close_study(s)
  runs <- 4
}
loaded <- system2(Sys.which("python3"), c(study_format, shQuote(folder), "--runs", runs), stdout = TRUE)
if (!is.null(attr(loaded, "status"))) {
  cat("FAIL the study does not load:", loaded, sep = "\n"); failures <- failures + 1
} else {
  cat("r: a study of", length(loaded), "runs loads by IOHanalyzer's rules\n")
}
# One budget rule, attributes as R holds them, and a run collected unended.
s <- study(file.path(tempdir(), "rules"), "rules")
refused <- function(what, call, words) {
  message <- tryCatch({ call; "" }, error = function(e) conditionMessage(e))
  if (!grepl(words, message, fixed = TRUE)) {
    cat(sprintf("FAIL %s: \"%s\", not \"%s\"\n", what, message, words)); failures <<- failures + 1
  }
}
for (budget in list(0, -1, NA, Inf, 1e20, 2.7, "5", c(1, 2))) {
  refused(paste("budget", deparse(budget)), study_run(s, "quadobj", budget = budget),
          paste("not", paste(deparse(budget), collapse = " ")))
}
refused("two seeds", study_run(s, "quadobj", seed = c(1, 2)), "attribute seed: one value, not 2")
refused("a ';'", study_run(s, "quadobj", note = "a;b"), "attribute note: a value holds no ';'")
refused("an unnamed attribute", study_run(s, "quadobj", 10, 7), "a run's attributes are named")
f <- study_run(s, "quadobj", budget = 1e3, seed = NULL, note = iconv("caf\u00e9", "UTF-8", "latin1"))
f(matrix(0, 2, 50))
end_run(f)
meta <- readLines(list.files(file.path(tempdir(), "rules"), "run1.json$", recursive = TRUE, full.names = TRUE),
                  encoding = "UTF-8")
if (!any(grepl("\"note\": \"caf\u00e9\", \"language\": \"R ", meta, fixed = TRUE)) || any(grepl("seed", meta))) {
  cat("FAIL the attributes as written:", meta, sep = "\n"); failures <- failures + 1
}
f <- study_run(s, "quadobj")
f(matrix(0, 2, 50))
rm(f)
invisible(gc())
if (length(list.files(file.path(tempdir(), "rules"), "run2", recursive = TRUE))) {
  cat("FAIL a run collected unended is not discarded\n"); failures <- failures + 1
}
close_study(s)
if (failures > 0) quit(status = 1)
cat("r: every value is golden\n")
