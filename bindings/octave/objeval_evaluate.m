% -*- texinfo -*-
% @deftypefn  {} {@var{f} =} objeval_evaluate (@var{name}, @var{X})
% @deftypefnx {} {@var{f} =} objeval_evaluate (@var{name}, @var{X}, @var{threads})
% Evaluates points of the problem @var{name}, bit for bit its program's
% values.
%
% @var{name} is one of @code{@{objeval_problems().name@}}. @var{X} is an
% n-by-dimension matrix, a point per row (as @code{ga} and
% @code{particleswarm} pass a population), or a vector of dimension values,
% one point; double, single, an integer class or logical. @var{f} is an
% n-by-1 double column: each value the program's float, widened exactly.
% Each value of @var{X} is rounded once to float. @var{threads}: 0 for one
% per CPU this process may use; @var{f} does not depend on it.
%
% @example
% f = objeval_evaluate ('quadobj', [1, zeros(1, 49)])   % 21.315977096557617
% @end example
%
% Errors, by identifier: @code{objeval:problem} (no such problem: the
% message lists those there are), @code{objeval:shape} (a size that fits no
% point), @code{objeval:type} (not numeric or logical),
% @code{objeval:complex}, @code{objeval:sparse}, @code{objeval:threads} (not
% a whole number of 0 or more), @code{objeval:arguments} (too few or too
% many arguments), @code{objeval:failed} (the library's own failure, with
% its message).
% @seealso{objeval_problems}
% @end deftypefn
function f = objeval_evaluate (name, varargin)
  if nargin < 1
    error ('objeval:arguments', 'usage: f = objeval_evaluate(name, X) or objeval_evaluate(name, X, threads)');
  end
  f = __objeval_mex__ (name, varargin{:});
end

% SPDX-License-Identifier: MIT
