% -*- texinfo -*-
% @deftypefn  {} {@var{s} =} objeval_study (@var{folder}, @var{algorithm})
% @deftypefnx {} {@var{s} =} objeval_study (@var{folder}, @var{algorithm}, @var{info})
% @deftypefnx {} {@var{s} =} objeval_study (@dots{}, "every_evaluation", true, "points", true, "durable", true, "add", true)
% A study: runs of @var{algorithm} (described by @var{info}, its settings)
% on the problems, every evaluation counted in order and each improvement
% of a run's best-so-far value logged in @var{folder}/ALGORITHM, in the
% format IOHanalyzer reads (@code{DataSetList(folder)}). The problems are
% minimised. "every_evaluation": a row for every evaluation;
% "points": each row with its point; "durable": a run counts as ended once
% its files are on the disk; "add": the algorithm's runs in the folder are
% meant to be added to (otherwise a line on standard error says they are
% there). Threads and processes may write one study at once.
%
% @example
% s = objeval_study ("results", "random search", "uniform in [-1, 1]");
% r = objeval_run (s, "quadobj", 1000, "seed=1");
% f = @@(X) objeval_run_evaluate (r, X);     % the objective, counted
% ... an optimiser calls f ...
% objeval_run_end (r); objeval_study_close (s);
% @end example
%
% Errors: @code{objeval:study} (the folder cannot be written),
% @code{objeval:arguments}.
% @seealso{objeval_run, objeval_run_evaluate, objeval_run_state, objeval_run_end, objeval_study_close}
% @end deftypefn
function s = objeval_study (folder, algorithm, info = "", varargin)
  options = struct ("every_evaluation", false, "points", false, "durable", false, "add", false);
  for k = 1:2:numel (varargin)
    if (! isfield (options, varargin{k}) || k == numel (varargin))
      error ("objeval:arguments", "objeval_study: options are \"every_evaluation\", \"points\", \"durable\" and \"add\", each with true or false");
    end
    options.(varargin{k}) = logical (varargin{k + 1});
  end
  flags = double (options.every_evaluation) + 2 * double (options.points) + 4 * double (options.durable) ...
          + 8 * double (options.add);
  s = struct ("handle", __objeval_mex__ ("#study_open", folder, algorithm, info, flags), "folder", folder,
              "algorithm", algorithm);
end

% SPDX-License-Identifier: MIT
