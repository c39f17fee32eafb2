% -*- texinfo -*-
% @deftypefn {} {@var{p} =} objeval_problems ()
% The problems libobjeval evaluates: a struct array with fields @code{name},
% @code{dimension} (the numbers in a point) and @code{description} (what
% they mean).
%
% @example
% p = objeval_problems (); @{p.name@}   % @{'doorcost', 'quadobj'@}
% @end example
% @seealso{objeval_evaluate}
% @end deftypefn
function p = objeval_problems ()
  p = __objeval_mex__ ();
end

% SPDX-License-Identifier: MIT
