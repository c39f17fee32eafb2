% -*- texinfo -*-
% @deftypefn  {} {@var{f} =} objeval_run_evaluate (@var{r}, @var{X})
% @deftypefnx {} {@var{f} =} objeval_run_evaluate (@var{r}, @var{X}, @var{threads})
% @code{objeval_evaluate} through the run @var{r}: each point of @var{X} one
% evaluation, in order. A call past the run's budget evaluates the points
% within it, then raises @code{objeval:budget}.
% @seealso{objeval_run, objeval_evaluate}
% @end deftypefn
function f = objeval_run_evaluate (r, X, varargin)
  f = __objeval_mex__ ("#run_evaluate", r.handle, r.problem, X, varargin{:});
end

% SPDX-License-Identifier: MIT
