% -*- texinfo -*-
% @deftypefn {} {} objeval_run_end (@var{r})
% Ends the run @var{r} and adds it to its study.
% @seealso{objeval_run}
% @end deftypefn
function objeval_run_end (r)
  __objeval_mex__ ("#run_end", r.handle);
end

% SPDX-License-Identifier: MIT
