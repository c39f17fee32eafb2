// SPDX-License-Identifier: MIT
package objeval;

import java.util.Objects;

/**
 * A problem of libobjeval's table: its name, dimension (the numbers in a
 * point) and description, and its evaluation, bit for bit the program's.
 *
 * <pre>
 * Problem quadobj = Objeval.problem("quadobj");
 * float f = quadobj.evaluate(x);                  // x: quadobj.dimension() values
 * quadobj.evaluate(points, values, 0);            // points: a point after a point; on every CPU
 * </pre>
 *
 * <p>A double is rounded once, to the nearest float. A wrong length is an
 * {@link IllegalArgumentException}, a null array a {@link NullPointerException}.
 * A thread count of 0 means one per CPU this process may use; a larger count
 * is lowered to that number; the values never depend on it. A batch holds
 * each array still (a JNI critical section) for a bounded stretch at a time,
 * at most 64 MiB of points, so that the garbage collector is never kept
 * waiting long. Calls may come from any thread, at once.
 */
public final class Problem {
  /**
   * Bytes of points a critical section holds at most: a few milliseconds of
   * work. 16 MiB made a 65,536-point doorcost batch on two threads 1.1 times
   * as slow, each chunk's end a wait for the slower thread.
   */
  private static final long CHUNK_BYTES = 64L << 20;

  private final int index;
  private final String name;
  private final int dimension;
  private final String description;

  Problem(int index) {
    this.index = index;
    this.name = Native.problemText(index, 0);
    this.dimension = Native.problemDimension(index);
    this.description = Native.problemText(index, 1);
  }

  int index() {
    return index;
  }

  /** The problem's name, as "quadobj". */
  public String name() {
    return name;
  }

  /** The numbers in a point. */
  public int dimension() {
    return dimension;
  }

  /** What the point's numbers mean, in one line. */
  public String description() {
    return description;
  }

  @Override
  public String toString() {
    return name + " (" + dimension + " numbers a point)";
  }

  /** The value at one point of {@link #dimension()} numbers. */
  public float evaluate(float[] point) {
    checkPoint(Objects.requireNonNull(point, name + ": point is null").length);
    return Native.oneFloat(index, point);
  }

  /** The value at one point of {@link #dimension()} numbers, each rounded once to float. */
  public float evaluate(double[] point) {
    checkPoint(Objects.requireNonNull(point, name + ": point is null").length);
    return Native.oneDouble(index, point);
  }

  /** The values of {@code values.length} points, a point after a point in {@code points}, on one thread. */
  public void evaluate(float[] points, float[] values) {
    evaluate(points, values, 1);
  }

  /** The same on {@code threads} threads. */
  public void evaluate(float[] points, float[] values, int threads) {
    int count = checkBatch(Objects.requireNonNull(points, name + ": points is null").length,
        Objects.requireNonNull(values, name + ": values is null").length, threads);
    for (int first = 0, step = chunk(Float.BYTES); first < count; first += step) {
      check(Native.batchFloat(index, points, first, Math.min(step, count - first), values, threads));
    }
  }

  /** The values of points given as doubles, each rounded once to float, on one thread. */
  public void evaluate(double[] points, float[] values) {
    evaluate(points, values, 1);
  }

  /** The same on {@code threads} threads. */
  public void evaluate(double[] points, float[] values, int threads) {
    int count = checkBatch(Objects.requireNonNull(points, name + ": points is null").length,
        Objects.requireNonNull(values, name + ": values is null").length, threads);
    for (int first = 0, step = chunk(Double.BYTES); first < count; first += step) {
      check(Native.batchDouble(index, points, first, Math.min(step, count - first), values, threads));
    }
  }

  /** The same into doubles, each the program's float widened exactly, on one thread. */
  public void evaluate(double[] points, double[] values) {
    evaluate(points, values, 1);
  }

  /** The same on {@code threads} threads. */
  public void evaluate(double[] points, double[] values, int threads) {
    int count = checkBatch(Objects.requireNonNull(points, name + ": points is null").length,
        Objects.requireNonNull(values, name + ": values is null").length, threads);
    for (int first = 0, step = chunk(Double.BYTES); first < count; first += step) {
      check(Native.batchDoubleToDouble(index, points, first, Math.min(step, count - first), values, threads));
    }
  }

  private int chunk(int bytes) {
    return (int) Math.max(1, CHUNK_BYTES / ((long) bytes * dimension));
  }

  private void checkPoint(int length) {
    if (length != dimension) {
      throw new IllegalArgumentException(name + ": a point is " + dimension + " numbers, got " + length);
    }
  }

  private int checkBatch(int points, int values, int threads) {
    if ((long) points != (long) dimension * values) {
      throw new IllegalArgumentException(name + ": points holds " + dimension + " numbers a point, " + dimension
          + " * " + values + " for " + values + " values; got " + points);
    }
    if (threads < 0) {
      throw new IllegalArgumentException(name + ": threads is 0 (one per CPU) or more, got " + threads);
    }
    return values;
  }

  /** A library status other than success, as the exception it is; PENDING: JNI has one pending already. */
  private void check(int status) {
    if (status == Native.OBJEVAL_OK || status == Native.PENDING) return;
    String message = name + ": " + Native.statusMessage(status);
    if (status == Native.OBJEVAL_INTERNAL_ERROR) throw new IllegalStateException(message);  // the library failed inside
    throw new IllegalArgumentException(message);
  }
}
