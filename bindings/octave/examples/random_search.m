% SPDX-License-Identifier: MIT
% A random search on quadobj, 20 rounds of 1,000 candidates, each round one
% batch call on every CPU:
%   pkg install objeval-VERSION.tar.gz   (once)
%   octave-cli --no-history random_search.m
pkg load objeval
dimension = objeval_problems()(strcmp({objeval_problems().name}, "quadobj")).dimension;
best = zeros(1, dimension);
best_value = objeval_quadobj(best);
for round = 1:20
  candidates = min(1, max(-1, best + 0.1 * randn(1000, dimension)));   % a point per row
  [value, at] = min(objeval_quadobj(candidates, 0));
  if value < best_value
    best_value = value;
    best = candidates(at, :);
  end
end
printf("quadobj: %f after 20,000 points\n", best_value);
