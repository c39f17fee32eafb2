\name{study}
\alias{study}
\alias{study_run}
\alias{run_state}
\alias{end_run}
\alias{fail_run}
\alias{discard_run}
\alias{close_study}
\title{Studies: runs of an algorithm, logged where IOHanalyzer reads them}
\description{
  A study is a folder of runs of algorithms on the problems. Each run counts
  its evaluations in order, keeps a budget where given, and logs each
  improvement of its best-so-far value in IOHprofiler's format, which
  IOHanalyzer's \code{DataSetList()} reads. The problems are minimised.
  Each value is written so that it reads back to the same float.
}
\usage{
study(folder, algorithm, info = "", every_evaluation = FALSE, points = FALSE, durable = FALSE,
      add = FALSE)
study_run(study, problem, budget = NULL, ...)
run_state(run)
end_run(run)
fail_run(run, reason = "")
discard_run(run)
close_study(study)
}
\arguments{
  \item{folder}{the study's folder, made if missing; each algorithm writes
    into a folder of its own in it.}
  \item{algorithm}{the algorithm's name.}
  \item{info}{its settings, in words.}
  \item{every_evaluation}{a row for every evaluation, not only the
    improvements.}
  \item{points}{each row with its point's coordinates.}
  \item{durable}{a run counts as ended once its files are on the disk.}
  \item{add}{the algorithm's runs in the folder are meant to be added to;
    otherwise a line on standard error says they are there.}
  \item{reason}{why the run failed, in words.}
  \item{study}{a study.}
  \item{problem}{the problem's name, one of \code{problems()$name}.}
  \item{budget}{at most this many evaluations, a whole number from 1 to
    \eqn{2^{64} - 1}; \code{NULL} for no budget. Anything else is an error.}
  \item{...}{the run's attributes, recorded with it: \code{seed = 1}; each
    named, one value each, without \code{;}; \code{NULL} ones are left out.
    The R version is recorded as \code{language}.}
  \item{run}{a run, as \code{study_run} gives it.}
}
\value{
  \code{study_run} gives the run as a function of \code{x} alone, which
  evaluates as \code{evaluate(problem, x)} does and counts each point:
  \code{optim}, \code{DEoptim} and \code{nloptr} take it as their
  objective. A call past the budget evaluates the points within it, then
  signals a condition of class \code{objeval_budget_spent}, with fields
  \code{evaluated} and \code{values}. \code{run_state} gives a list of
  \code{evaluations}, \code{best} and \code{best_point}. \code{end_run}
  adds the run to the study; \code{fail_run} ends it as failed, kept apart
  from the runs IOHanalyzer reads; \code{discard_run} leaves nothing of it.
  A run collected unended is discarded, with a line on standard error.
}
\details{
  Load a study into IOHanalyzer with \code{IOHanalyzer::DataSetList(folder)}.
  Threads and processes may write one study at once. A study's folder that
  cannot be written is an error at \code{study()}.
}
\seealso{\code{\link{evaluate}}}
\examples{
folder <- file.path(tempdir(), "a study")
s <- study(folder, "random search", "uniform in [-1, 1]")
for (seed in 1:3) {
  set.seed(seed)
  f <- study_run(s, "quadobj", budget = 100, seed = seed)
  for (k in 1:10) f(matrix(runif(10 * 50, -1, 1), nrow = 10))
  str(run_state(f)[1:2])
  end_run(f)
}
close_study(s)
}
