% -*- texinfo -*-
% @deftypefn {} {[@var{best}, @var{point}, @var{evaluations}] =} objeval_run_state (@var{r})
% The run's best-so-far value (Inf before any), its point, and the
% evaluations the run has made.
% @seealso{objeval_run}
% @end deftypefn
function [best, point, evaluations] = objeval_run_state (r)
  [best, point, evaluations] = __objeval_mex__ ("#run_state", r.handle, r.problem);
end

% SPDX-License-Identifier: MIT
