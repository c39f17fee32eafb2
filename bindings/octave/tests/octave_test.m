% The Octave package, installed with pkg install into a scratch folder and
% loaded, against the golden bits, one point and batch, in double, single
% and integer classes, on every thread count; its errors; then two real
% callers: fminsearch, and the ga package with a vectorised fitness.
%   octave-cli --no-history octave_test.m CORPUS_DIR PACKAGE_TARBALL SCRATCH_DIR STUDY_FORMAT_PY
1;

function values = read_floats(path)
  file = fopen(path, "r");
  values = fread(file, Inf, "single=>single");
  fclose(file);
end

function failures = compare(what, got, golden)
  got_bits = typecast(single(got(:)), "uint32");
  golden_bits = typecast(golden(:), "uint32");
  wrong = find(got_bits != golden_bits, 1);
  failures = 0;
  if numel(got_bits) != numel(golden_bits)
    printf("FAIL %s: %d values, %d golden\n", what, numel(got_bits), numel(golden_bits));
    failures = 1;
  elseif !isempty(wrong)
    printf("FAIL %s: first difference at point %d: got %08x, golden %08x\n", what, wrong - 1,
           got_bits(wrong), golden_bits(wrong));
    failures = 1;
  end
end

function failures = expect_error(identifier, f)
  failures = 1;
  try
    f();
    printf("FAIL: no error, %s expected\n", identifier);
  catch failure
    % The message is the package's own: no internal function's name before it.
    if strcmp(failure.identifier, identifier) && isempty(strfind(failure.message, "__"))
      failures = 0;
    else
      printf("FAIL: %s (%s), %s expected\n", failure.identifier, failure.message, identifier);
    end
  end
end

arguments = argv();
corpus = arguments{1};
scratch = arguments{3};
study_format = arguments{4};
pkg("prefix", [scratch "/packages"], [scratch "/packages"]);
pkg("local_list", [scratch "/octave_packages"]);
pkg("install", "-local", arguments{2});  % -local: private even as root
pkg("load", "objeval");
source(fullfile(fileparts(mfilename("fullpath")), "..", "examples", "random_search.m"));
failures = 0;
for problem = objeval_problems()'
  name = problem.name;
  dimension = problem.dimension;
  f = @(varargin) objeval_evaluate(name, varargin{:});
  points = reshape(read_floats([corpus "/" name ".points.f32"]), dimension, [])';  % a point per row
  golden = read_floats([corpus "/" name ".golden.f32"]);
  n = rows(points);
  for threads = [1 2 0]
    failures += compare([name " batch, double"], f(double(points), threads), golden);
  end
  failures += compare([name " batch, single"], f(points), golden);
  one = zeros(n, 1);
  for k = 1:n
    if mod(k, 2)
      one(k) = f(double(points(k, :)));   % a row
    else
      one(k) = f(double(points(k, :))');  % a column
    end
  end
  failures += compare([name " one point"], one, golden);
  failures += expect_error("objeval:shape", @() f(zeros(3, dimension + 1)));
  failures += expect_error("objeval:shape", @() f(zeros(1, dimension - 1)));
  failures += expect_error("objeval:shape", @() f(zeros(2, dimension, 2)));
  failures += expect_error("objeval:complex", @() f(complex(zeros(1, dimension))));
  failures += expect_error("objeval:sparse", @() f(sparse(zeros(1, dimension))));
  failures += compare([name " integer and logical"], f(int32(ones(1, dimension))), single(f(true(dimension, 1))));
  failures += compare([name " its own function"], feval(["objeval_" name], double(points)), golden);
  failures += expect_error("objeval:type", @() f(repmat("a", 1, dimension)));
  failures += expect_error("objeval:type", @() f(num2cell(zeros(1, dimension))));
  failures += expect_error("objeval:threads", @() f(zeros(1, dimension), -1));
  failures += expect_error("objeval:problem", @() objeval_evaluate("QUADOBJ", zeros(1, dimension)));
  if !isequal(size(f(zeros(0, dimension))), [0 1])
    printf("FAIL %s: no points should give a 0-by-1 column\n", name);
    failures += 1;
  end
end

% fminsearch asks for one point at a time; ga, vectorised, for a population.
[x, fval] = fminsearch(@objeval_quadobj, zeros(1, 50), optimset("MaxFunEvals", 3000));
failures += compare("fminsearch's reported value", fval, single(objeval_quadobj(x)));
printf("octave: fminsearch on quadobj reached %.6f\n", fval);
if isempty(pkg("list", "ga"))
  printf("SKIPPED ga: the ga package is not installed (Debian: octave-ga)\n");
else
  pkg load ga
  rand("seed", 1);
  options = gaoptimset("Vectorized", "on", "Generations", 25, "PopulationSize", 40);
  [x, fval] = ga(@objeval_quadobj, 50, [], [], [], [], -ones(1, 50), ones(1, 50), [], options);
  failures += compare("ga's reported value", fval, single(objeval_quadobj(x)));
  printf("octave: ga, vectorised, on quadobj reached %.6f\n", fval);
end
% A study of two algorithms: random search on a budget that its last batch
% crosses, and fminsearch through a run; IOHanalyzer's rules load each run.
folder = [scratch "/study"];
s = objeval_study (folder, "random search", "uniform in [-1, 1]");
for seed = 1:3
  rand ("seed", seed);
  r = objeval_run (s, "quadobj", 55, sprintf ("seed=%d", seed));
  failures += expect_error ("objeval:budget", @() cellfun (@(k) objeval_run_evaluate (r, 2 * rand (10, 50) - 1), num2cell (1:6), "UniformOutput", false));
  [best, point, evaluations] = objeval_run_state (r);
  if evaluations != 55 || best != objeval_quadobj (point)
    printf ("FAIL run %d: %d evaluations, best %g\n", seed, evaluations, best);
    failures += 1;
  end
  objeval_run_end (r);
end
objeval_study_close (s);
s = objeval_study (folder, "fminsearch", "from 0");
r = objeval_run (s, "quadobj", [], "seed=0");
[x, fval] = fminsearch (@(x) objeval_run_evaluate (r, x), zeros (1, 50), optimset ("MaxFunEvals", 300));
failures += compare ("fminsearch's best in the study", objeval_run_state (r), single (fval));
objeval_run_end (r);
objeval_study_close (s);
failures += expect_error ("objeval:study", @() objeval_run_end (r));
% One budget rule: a whole number from 1 to 2^64 - 1, [] for none.
s = objeval_study (folder, "rules");
for budget = {0, -1, 2.7, NaN, Inf, 1e20, "5", [1 2]}
  failures += expect_error ("objeval:arguments", @() objeval_run (s, "quadobj", budget{1}));
end
r = objeval_run (s, "quadobj", 1e3);
objeval_run_evaluate (r, zeros (2, 50));
objeval_run_fail (r, "a test's failure");
objeval_study_close (s);
[status, loaded] = system (sprintf ("python3 '%s' '%s' --runs 4", study_format, folder));
if status != 0
  printf ("FAIL the study does not load:\n%s", loaded);
  failures += 1;
end

if failures
  exit(1);
end
printf("octave: every value is golden; a study of 4 runs loads by IOHanalyzer's rules\n");

% SPDX-License-Identifier: MIT
