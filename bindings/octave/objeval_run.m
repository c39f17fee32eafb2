% -*- texinfo -*-
% @deftypefn  {} {@var{r} =} objeval_run (@var{s}, @var{problem})
% @deftypefnx {} {@var{r} =} objeval_run (@var{s}, @var{problem}, @var{budget}, @var{attributes})
% Starts a run of @var{problem} in the study @var{s}: at most @var{budget}
% evaluations (0 or none: no budget), with @var{attributes} ("seed=1;restart=0")
% recorded with it. Evaluate through it with @code{objeval_run_evaluate};
% @code{objeval_run_end} adds it to the study.
% @seealso{objeval_study, objeval_run_evaluate, objeval_run_state, objeval_run_end}
% @end deftypefn
function r = objeval_run (s, problem, budget = 0, attributes = "")
  r = struct ("handle", __objeval_mex__ ("#run_start", s.handle, problem, budget, attributes), "problem", problem);
end

% SPDX-License-Identifier: MIT
