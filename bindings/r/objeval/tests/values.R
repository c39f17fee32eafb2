# SPDX-License-Identifier: MIT
# The program's values, and every shape a user hands over.
library(objeval)
stopifnot(identical(quadobj(c(1, rep(0, 49))), 21.315977096557617),
          identical(doorcost(rep(1, 240)), 1147840),
          identical(problems()$name[1:2], c("doorcost", "quadobj")),
          identical(problems()$dimension[1:2], c(240, 50)))

x <- seq(-1, 1, length.out = 50)
one <- quadobj(x)
for (same in list(structure(x, dim = 50L), matrix(x, 50, 1), matrix(x, 1, 50),
                  data.frame(t(x)))) {
  stopifnot(identical(quadobj(same), one))
}
stopifnot(identical(evaluate("quadobj", rbind(x, x, x), threads = 0), rep(one, 3)),
          identical(quadobj(rep(TRUE, 50)), quadobj(rep(1L, 50))),
          is.nan(quadobj(c(NA, rep(0, 49)))),
          identical(quadobj(matrix(0, 0, 50)), numeric(0)))

refused <- function(pattern, expression) {
  message <- tryCatch({ expression; "no error" }, error = conditionMessage)
  if (!grepl(pattern, message, fixed = TRUE)) stop(sprintf("\"%s\" does not say \"%s\"", message, pattern))
}
refused("no such problem \"QUADOBJ\"; the problems are doorcost, quadobj", evaluate("QUADOBJ", x))
refused("got a 1 x 50 x 2 array", quadobj(array(0, c(1, 50, 2))))
refused("got a 3 x 51 matrix", quadobj(matrix(0, 3, 51)))
refused("got 49 values", quadobj(rep(0, 49)))
refused("got character", quadobj(rep("0", 50)))
refused("threads must be a whole number", evaluate("quadobj", x, threads = -1))
options(objeval.threads = -1)
refused("threads must be a whole number", quadobj(x))
options(objeval.threads = NULL)
refused("got a data frame with character column 'a'", quadobj(data.frame(a = rep("1", 50), b = 1)))
