% OBJEVAL_QUADOBJ  The fixed quadratic of 50 variables, bit for bit the quadobj program's.
%   F = OBJEVAL_QUADOBJ(X) with X an n-by-50 double or single matrix, a point per
%   row (as ga and particleswarm pass a population), or a vector of 50 values.
%   F is an n-by-1 double column: each the program's float value, widened
%   exactly. Each value of X is rounded once to float.
%
%   F = OBJEVAL_QUADOBJ(X, THREADS) evaluates on THREADS threads: 0 for one per
%   CPU this process may use; F does not depend on it.
%
%   A wrong shape, a complex, sparse or non-numeric X is an error with an
%   identifier objeval:shape, objeval:complex, objeval:sparse or objeval:type.

% SPDX-License-Identifier: MIT
