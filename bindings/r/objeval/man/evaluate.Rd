\name{evaluate}
\alias{evaluate}
\alias{doorcost}
\alias{quadobj}
\title{Evaluate points of a problem, bit for bit the program's values}
\description{
  Evaluates one point, or a matrix of points (a point per row), of one of
  libobjeval's problems. Each value is the one the problem's program writes,
  as a double: the program's float, widened exactly. Each number of \code{x}
  is rounded once to float.
}
\usage{
evaluate(problem, x, threads = getOption("objeval.threads", 1L))
doorcost(x)
quadobj(x)
}
\arguments{
  \item{problem}{the problem's name, one of \code{problems()$name}.}
  \item{x}{one point: a numeric, integer or logical vector of the problem's
    dimension (or a one-dimensional array, or a matrix of one column); or
    several: a matrix or data frame with a column for each of the dimension's
    numbers, a point per row. \code{NA} and \code{NaN} evaluate as the
    programs evaluate \code{nan}.}
  \item{threads}{how many threads share the batch: 0 for one per CPU this
    process may use; a larger count is lowered to that number. The values do
    not depend on it. \code{options(objeval.threads = 0)} sets it for every
    call that does not give it, \code{doorcost} and \code{quadobj} among
    them.}
}
\value{
  A double vector with one value per point.
}
\details{
  \code{doorcost(x)} is \code{evaluate("doorcost", x)}, \code{quadobj(x)} is
  \code{evaluate("quadobj", x)}. They take \code{x} alone, so that every
  optimiser takes them as they are: \code{optim}, \code{DEoptim}, and
  \code{nloptr}, which refuses an objective with an argument it is not
  handed.

  An error names what was wrong: a problem that does not exist (with the list
  of those that do), a shape that fits no point, or a thread count that is
  not a whole number of 0 or more. A failure of the library is an error too,
  with the library's message.
}
\seealso{\code{\link{problems}}}
\examples{
quadobj(c(1, rep(0, 49)))               # 21.31597709655761719, the program's value
points <- matrix(runif(10 * 50, -1, 1), nrow = 10)
evaluate("quadobj", points, threads = 0)   # ten values
doorcost(rep(c(1, rep(0, 7)), 30))      # every truck at door 0
optim(rep(0, 50), quadobj, method = "L-BFGS-B", lower = -1, upper = 1)$value
options(objeval.threads = 2); quadobj(points); options(objeval.threads = NULL)
}
