\name{problems}
\alias{problems}
\title{The problems libobjeval evaluates}
\description{
  The problems of libobjeval's table, each with its name, its dimension (the
  numbers in a point) and what its point's numbers mean.
}
\usage{
problems()
}
\value{
  A data frame with columns \code{name}, \code{dimension} and
  \code{description}, a problem per row.
}
\seealso{\code{\link{evaluate}}}
\examples{
problems()[, c("name", "dimension")]
}
