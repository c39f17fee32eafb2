% -*- texinfo -*-
% @deftypefn {} {} objeval_run_fail (@var{r}, @var{reason})
% Ends the run @var{r} as failed, @var{reason} saying why: its rows are
% kept, apart from the runs IOHanalyzer reads: call it where the optimiser
% fails, in the catch of a try around it, and objeval_run_end where it
% does not.
% @seealso{objeval_run, objeval_run_end, objeval_run_discard}
% @end deftypefn
function objeval_run_fail (r, reason = "")
  __objeval_mex__ ("#run_end", r.handle, 1, reason);
end

% SPDX-License-Identifier: MIT
