% OBJEVAL_DOORCOST  Cost of door assignments, bit for bit the doorcost program's.
%   F = OBJEVAL_DOORCOST(X) with X an n-by-240 double or single matrix, a point
%   per row (as ga and particleswarm pass a population), or a vector of 240
%   values. Columns 1..120: inbound truck i (0..14) at inbound door k (0..7) is
%   column i*8+k+1; columns 121..240: outbound truck j at outbound door l is
%   column 120+j*8+l+1. F is an n-by-1 double column: each the program's float
%   value, widened exactly. Each value of X is rounded once to float.
%
%   F = OBJEVAL_DOORCOST(X, THREADS) evaluates on THREADS threads: 0 for one
%   per CPU this process may use; F does not depend on it.
%
%   A wrong shape, a complex, sparse or non-numeric X is an error with an
%   identifier objeval:shape, objeval:complex, objeval:sparse or objeval:type.

% SPDX-License-Identifier: MIT
