// SPDX-License-Identifier: MIT
import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Random;
import objeval.BudgetSpentException;
import objeval.Objeval;
import objeval.Problem;
import objeval.Run;
import objeval.Study;

/**
 * objeval.Objeval against the golden bits, one point (float[] and double[])
 * and batch, on every thread count; its errors; then a caller's loop.
 *   java -cp objeval.jar:. ObjevalTest CORPUS_DIR STUDY_FORMAT_PY
 */
public final class ObjevalTest {
  interface One { float of(float[] point); }
  interface OneDouble { float of(double[] point); }
  interface Batch { void of(float[] points, float[] values, int threads); }

  static int failures = 0;

  static float[] readFloats(Path path) throws IOException {
    ByteBuffer bytes = ByteBuffer.wrap(Files.readAllBytes(path)).order(ByteOrder.LITTLE_ENDIAN);
    float[] values = new float[bytes.remaining() / 4];
    bytes.asFloatBuffer().get(values);
    return values;
  }

  static void compare(String what, float[] got, float[] golden) {
    for (int n = 0; n < golden.length; n++) {
      int bits = Float.floatToRawIntBits(got[n]), expected = Float.floatToRawIntBits(golden[n]);
      if (bits != expected) {
        System.out.printf("FAIL %s: first difference at point %d: got %08x, golden %08x%n", what, n, bits, expected);
        failures++;
        return;
      }
    }
  }

  static void expectThrows(Class<? extends RuntimeException> kind, Runnable call) {
    try {
      call.run();
      System.out.println("FAIL: no exception, " + kind.getSimpleName() + " expected");
      failures++;
    } catch (RuntimeException e) {
      if (!kind.isInstance(e)) {
        System.out.println("FAIL: " + e + ", " + kind.getSimpleName() + " expected");
        failures++;
      }
    }
  }

  static void check(Path corpus, String name, int dimension, One one, OneDouble oneDouble, Batch batch)
      throws IOException {
    float[] points = readFloats(corpus.resolve(name + ".points.f32"));
    float[] golden = readFloats(corpus.resolve(name + ".golden.f32"));
    int count = golden.length;
    for (int threads : new int[] {1, 2, 0}) {
      float[] values = new float[count];
      batch.of(points, values, threads);
      compare(name + " batch", values, golden);
    }
    float[] each = new float[count], eachDouble = new float[count];
    for (int p = 0; p < count; p++) {
      float[] point = new float[dimension];
      double[] wide = new double[dimension];
      System.arraycopy(points, p * dimension, point, 0, dimension);
      for (int k = 0; k < dimension; k++) wide[k] = point[k];
      each[p] = one.of(point);
      eachDouble[p] = oneDouble.of(wide);
    }
    compare(name + " one point", each, golden);
    compare(name + " one point, double[]", eachDouble, golden);
    expectThrows(IllegalArgumentException.class, () -> one.of(new float[dimension - 1]));
    expectThrows(IllegalArgumentException.class, () -> oneDouble.of(new double[dimension + 1]));
    expectThrows(IllegalArgumentException.class, () -> batch.of(new float[dimension * 3], new float[2], 1));
    expectThrows(IllegalArgumentException.class, () -> batch.of(new float[dimension], new float[1], -1));
    expectThrows(NullPointerException.class, () -> one.of(null));
    expectThrows(NullPointerException.class, () -> batch.of(null, new float[1], 1));
    expectThrows(NullPointerException.class, () -> batch.of(new float[dimension], null, 1));
  }

  /**
   * Doubles in and out against the golden values, 72,000 points: doorcost's
   * span two of the 64 MiB critical sections as float[], three as double[].
   */
  static void checkDoubles(Path corpus, Problem problem) throws IOException {
    float[] golden = readFloats(corpus.resolve(problem.name() + ".golden.f32"));
    float[] points = readFloats(corpus.resolve(problem.name() + ".points.f32"));
    int count = 72000, dimension = problem.dimension();
    if (points.length % dimension != 0 || golden.length * dimension != points.length) {
      System.out.println("FAIL the corpus's points and values do not match");
      failures++;
      return;
    }
    float[] many = new float[count * dimension], expected = new float[count], fromDoubles = new float[count];
    double[] wide = new double[many.length], wideValues = new double[count];
    for (int n = 0; n < many.length; n++) wide[n] = many[n] = points[n % points.length];
    for (int p = 0; p < count; p++) expected[p] = golden[p % golden.length];
    problem.evaluate(wide, fromDoubles, 2);
    problem.evaluate(wide, wideValues, 0);
    float[] narrowed = new float[count];
    for (int p = 0; p < count; p++) narrowed[p] = (float) wideValues[p];
    float[] fromFloats = new float[count];
    problem.evaluate(many, fromFloats, 2);
    compare(problem.name() + " 72,000 points from float[]", fromFloats, expected);
    compare(problem.name() + " 72,000 points from double[]", fromDoubles, expected);
    compare(problem.name() + " 72,000 points into double[]", narrowed, expected);
    expectThrows(IllegalArgumentException.class, () -> problem.evaluate(new double[dimension], new double[2], 1));
  }

  /**
   * A study of two algorithms, a random search on a budget its last batch
   * crosses and a local search through a run, which IOHanalyzer's rules
   * (study_format.py) load whole.
   */
  static void study(Path format, Path folder) throws IOException {
    Random random = new Random(5);
    try (Study study = Study.open(folder, "random search", "uniform in [-1, 1]")) {
      for (int seed = 1; seed <= 3; seed++) {
        try (Run run = study.run("quadobj", 55, "seed=" + seed)) {
          double[] points = new double[10 * 50];
          float[] values = new float[10];
          long evaluated = -1;
          try {
            for (int k = 0; k < 6; k++) {
              for (int n = 0; n < points.length; n++) points[n] = 2 * random.nextDouble() - 1;
              run.evaluate(points, values, 2);
            }
          } catch (BudgetSpentException e) {
            evaluated = e.evaluated();
          }
          if (evaluated != 5 || run.evaluations() != 55 || run.best() != Objeval.quadobj(run.bestPoint())) {
            System.out.println("FAIL run " + seed + ": " + run.evaluations() + " evaluations, " + evaluated);
            failures++;
          }
        }
      }
    }
    try (Study study = Study.open(folder, "local search", "steps of 0.2");
         Run run = study.run("doorcost", "seed=0")) {
      double[] x = new double[240];
      float best = run.evaluate(x);
      for (int step = 0; step < 200; step++) {
        double[] trial = x.clone();
        trial[random.nextInt(240)] += 0.2;
        float value = run.evaluate(trial);
        if (value < best) {
          best = value;
          x = trial;
        }
      }
      compare("the local search's best in the study", new float[] {run.best()}, new float[] {best});
    }
    expectThrows(java.io.UncheckedIOException.class,
        () -> Study.open(folder.resolve("random search").resolve("IOHprofiler_f2_quadobj.json"), "x", ""));
    // A budget is a whole number from 1; a name beyond the 16-bit characters goes as UTF-8; a run failed
    // is kept apart, where IOHanalyzer does not read it.
    try (Study study = Study.open(folder, "\uD83E\uDD16 search", "")) {
      expectThrows(IllegalArgumentException.class, () -> study.run("quadobj", 0, ""));
      Run run = study.run("quadobj", 10, "seed=9");
      run.evaluate(new double[100], new float[2], 1);
      run.fail("a test's failure");
    }
    Process check = new ProcessBuilder("python3", format.toString(), folder.toString(), "--runs", "4")
        .redirectErrorStream(true).start();
    String loaded = new String(check.getInputStream().readAllBytes());
    try {
      if (check.waitFor() != 0) {
        System.out.println("FAIL the study does not load:\n" + loaded);
        failures++;
      } else {
        System.out.println("java: a study of 4 runs loads by IOHanalyzer's rules");
      }
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
    }
  }

  public static void main(String[] args) throws IOException {
    Path corpus = Path.of(args[0]);
    // Every problem of the table, then the two programs' own shorthands.
    for (Problem problem : Objeval.problems()) {
      check(corpus, problem.name(), problem.dimension(), problem::evaluate, problem::evaluate, problem::evaluate);
      checkDoubles(corpus, problem);
    }
    check(corpus, "doorcost", Objeval.DOORCOST_DIMENSION, Objeval::doorcost, Objeval::doorcost, Objeval::doorcost);
    check(corpus, "quadobj", Objeval.QUADOBJ_DIMENSION, Objeval::quadobj, Objeval::quadobj, Objeval::quadobj);
    expectThrows(IllegalArgumentException.class, () -> Objeval.problem("QUADOBJ"));

    // A caller's loop, as a local search is: one point at a time.
    Random random = new Random(3);
    double[] x = new double[Objeval.QUADOBJ_DIMENSION];
    float best = Objeval.quadobj(x);
    for (int step = 0; step < 3000; step++) {
      double[] trial = x.clone();
      int k = random.nextInt(trial.length);
      trial[k] = Math.max(-1, Math.min(1, trial[k] + 0.2 * (random.nextDouble() - 0.5)));
      float value = Objeval.quadobj(trial);
      if (value < best) {
        best = value;
        x = trial;
      }
    }
    compare("the loop's best value", new float[] {best}, new float[] {Objeval.quadobj(x)});
    System.out.printf("java: a local search on quadobj reached %f (libobjeval %s)%n", best, Objeval.version());
    study(Path.of(args[1]), Files.createTempDirectory("objeval-study"));
    if (failures > 0) System.exit(1);
    System.out.println("java: every value is golden");
  }
}
