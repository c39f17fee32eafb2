% -*- texinfo -*-
% @deftypefn  {} {@var{r} =} objeval_run (@var{s}, @var{problem})
% @deftypefnx {} {@var{r} =} objeval_run (@var{s}, @var{problem}, @var{budget}, @var{attributes})
% Starts a run of @var{problem} in the study @var{s}: at most @var{budget}
% evaluations (a whole number from 1 to 2^64 - 1; [] or none: no budget),
% with @var{attributes} ("seed=1;restart=0") recorded with it, and the
% language (language=Octave @var{version}). Evaluate through it with
% @code{objeval_run_evaluate}; @code{objeval_run_end} adds it to the study,
% @code{objeval_run_fail} ends it as failed, @code{objeval_run_discard}
% leaves nothing of it. A run never ended is discarded when Octave exits,
% with a line on standard error.
% @seealso{objeval_study, objeval_run_evaluate, objeval_run_state, objeval_run_end, objeval_run_fail, objeval_run_discard}
% @end deftypefn
function r = objeval_run (s, problem, budget = [], attributes = "")
  if (isempty (budget))
    budget = 0;
  elseif (! (isnumeric (budget) && isreal (budget) && isscalar (budget) && isfinite (budget) ...
             && budget == fix (budget) && budget >= 1 && budget <= 18446744073709549568))
    error ("objeval:arguments", "objeval_run: a budget is a whole number of evaluations from 1 to 2^64 - 1 ([]: no budget), not %s",
           disp_text (budget));
  end
  if (isempty (regexp (attributes, '(^|;)language=', "once")))
    if (exist ("OCTAVE_VERSION", "builtin"))
      language = ["Octave " OCTAVE_VERSION];
    else
      language = ["MATLAB " version];
    end
    attributes = [attributes, repmat(";", 1, ! isempty (attributes)), "language=", language];
  end
  r = struct ("handle", __objeval_mex__ ("#run_start", s.handle, problem, double (budget), attributes), "problem", problem);
end

function text = disp_text (value)
  if (isnumeric (value) || islogical (value))
    text = mat2str (value);
  else
    text = ["a " class(value)];
  end
end

% SPDX-License-Identifier: MIT
