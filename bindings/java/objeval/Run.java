// SPDX-License-Identifier: MIT
package objeval;

import java.util.Objects;

/**
 * One run of a {@link Study}: each point evaluated through it is one
 * evaluation, in order. A call past the budget evaluates the points within
 * it, then throws {@link BudgetSpentException}. {@link #close()} ends the
 * run and adds it to the study. One thread at a time.
 */
public final class Run implements AutoCloseable {
  private static final long CHUNK_BYTES = 64L << 20;
  private final Problem problem;
  private long handle;

  Run(Problem problem, long handle) {
    this.problem = problem;
    this.handle = handle;
  }

  /** The problem this is a run of. */
  public Problem problem() {
    return problem;
  }

  /** The value at one point, counted. */
  public float evaluate(double[] point) {
    float[] value = new float[1];
    evaluate(Objects.requireNonNull(point, "point is null"), value, 1);
    return value[0];
  }

  /** The value at one point, counted. */
  public float evaluate(float[] point) {
    float[] value = new float[1];
    evaluate(Objects.requireNonNull(point, "point is null"), value, 1);
    return value[0];
  }

  /** The values of {@code values.length} points, a point after a point, on {@code threads} threads. */
  public void evaluate(float[] points, float[] values, int threads) {
    batch(points, points.length, values, values.length, threads, 0, Float.BYTES);
  }

  /** The same from doubles, each rounded once to float. */
  public void evaluate(double[] points, float[] values, int threads) {
    batch(points, points.length, values, values.length, threads, 1, Double.BYTES);
  }

  /** The same into doubles, each the program's float widened exactly. */
  public void evaluate(double[] points, double[] values, int threads) {
    batch(points, points.length, values, values.length, threads, 2, Double.BYTES);
  }

  /** The evaluations this run has made. */
  public long evaluations() {
    return Native.runEvaluations(live());
  }

  /** The best (least) value so far; infinity before any. */
  public float best() {
    return Native.runBest(live(), new float[problem.dimension()]);
  }

  /** The point of the best value so far. */
  public float[] bestPoint() {
    float[] point = new float[problem.dimension()];
    Native.runBest(live(), point);
    return point;
  }

  /** Ends the run and adds it to the study; a second close does nothing. */
  @Override
  public void close() {
    if (handle == 0) return;
    int status = Native.runEnd(handle);
    handle = 0;
    if (status != Native.OBJEVAL_OK) throw Study.failure("the end of a run of " + problem.name(), status);
  }

  /**
   * Ends the run as failed, {@code reason} saying why: its rows are kept, apart from the
   * runs IOHanalyzer reads. {@link #close} then does nothing: in a try-with-resources, call
   * it where the optimiser throws, as close() alone would end the run as finished.
   */
  public void fail(String reason) {
    if (handle == 0) return;
    long run = handle;
    handle = 0;
    int status = Native.runFail(run, Native.utf8(reason == null ? "" : reason.replace('\0', ' '), "the reason"));
    if (status != Native.OBJEVAL_OK) throw Study.failure("the end of a run of " + problem.name(), status);
  }

  /** Ends the run leaving nothing of it in the study: a run interrupted, to be made again. */
  public void discard() {
    if (handle == 0) return;
    long run = handle;
    handle = 0;
    int status = Native.runDiscard(run);
    if (status != Native.OBJEVAL_OK) throw Study.failure("the end of a run of " + problem.name(), status);
  }

  private long live() {
    if (handle == 0) throw new IllegalStateException("objeval: this run of " + problem.name() + " has ended");
    return handle;
  }

  private void batch(Object points, int length, Object values, int count, int threads, int kind, int bytes) {
    long run = live();
    if ((long) length != (long) problem.dimension() * count) {
      throw new IllegalArgumentException(problem.name() + ": points holds " + problem.dimension()
          + " numbers a point, " + count + " points: " + (long) problem.dimension() * count + ", not " + length);
    }
    if (threads < 0) throw new IllegalArgumentException(problem.name() + ": threads must be 0 or more");
    long before = Native.runEvaluations(run);
    int step = (int) Math.max(1, CHUNK_BYTES / ((long) bytes * problem.dimension()));
    for (int first = 0; first < count; first += step) {
      int status = Native.runBatch(run, problem.index(), points, first, Math.min(step, count - first), values,
          threads, kind);
      if (status == Native.OBJEVAL_BUDGET_SPENT) {
        throw new BudgetSpentException("objeval: " + problem.name() + ": " + Native.lastError(),
            Native.runEvaluations(run) - before);
      }
      if (status != Native.OBJEVAL_OK && status != Native.PENDING) throw Study.failure("a run of " + problem.name(), status);
    }
  }
}
