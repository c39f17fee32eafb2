% -*- texinfo -*-
% @deftypefn {} {} objeval_run_discard (@var{r})
% Ends the run @var{r} leaving nothing of it in its study: a run
% interrupted, to be made again.
% @seealso{objeval_run, objeval_run_end, objeval_run_fail}
% @end deftypefn
function objeval_run_discard (r)
  __objeval_mex__ ("#run_end", r.handle, 2, "");
end

% SPDX-License-Identifier: MIT
