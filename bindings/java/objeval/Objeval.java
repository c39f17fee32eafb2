// SPDX-License-Identifier: MIT
package objeval;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Objects;
import java.util.stream.Collectors;

/**
 * The evaluators, called in process through libobjeval: each value is the
 * program's, bit for bit. The problems come from the library's table.
 *
 * <pre>
 * Problem quadobj = Objeval.problem("quadobj");
 * float f = quadobj.evaluate(x);                // x: 50 numbers, float[] or double[]
 * quadobj.evaluate(points, values, 0);          // a batch on every CPU this process may use
 * float g = Objeval.quadobj(x);                 // the same, by name
 * </pre>
 *
 * <p>See {@link Problem} for lengths, threads and exceptions.
 */
public final class Objeval {
  private static final List<Problem> PROBLEMS;

  static {
    List<Problem> problems = new ArrayList<>();
    for (int index = 0; index < Native.problemCount(); index++) problems.add(new Problem(index));
    PROBLEMS = Collections.unmodifiableList(problems);
  }

  private static final Problem DOORCOST = problem("doorcost"), QUADOBJ = problem("quadobj");

  /** Numbers in a point, from the library's table. */
  public static final int DOORCOST_DIMENSION = DOORCOST.dimension(), QUADOBJ_DIMENSION = QUADOBJ.dimension();

  private Objeval() {}

  /** libobjeval's version, as "MAJOR.MINOR.PATCH". */
  public static String version() {
    return Native.version();
  }

  /** Every problem of the library's table. */
  public static List<Problem> problems() {
    return PROBLEMS;
  }

  /** The problem named {@code name}; an {@link IllegalArgumentException} that lists the problems if none is. */
  public static Problem problem(String name) {
    Objects.requireNonNull(name, "the problem's name is null");
    for (Problem problem : PROBLEMS) {
      if (problem.name().equals(name)) return problem;
    }
    throw new IllegalArgumentException("objeval: no such problem \"" + name + "\"; the problems are "
        + PROBLEMS.stream().map(Problem::name).collect(Collectors.joining(", ")));
  }

  /** {@code problem("doorcost").evaluate(point)}. */
  public static float doorcost(float[] point) {
    return DOORCOST.evaluate(point);
  }

  /** {@code problem("doorcost").evaluate(point)}. */
  public static float doorcost(double[] point) {
    return DOORCOST.evaluate(point);
  }

  /** {@code problem("doorcost").evaluate(points, values)}. */
  public static void doorcost(float[] points, float[] values) {
    DOORCOST.evaluate(points, values);
  }

  /** {@code problem("doorcost").evaluate(points, values, threads)}. */
  public static void doorcost(float[] points, float[] values, int threads) {
    DOORCOST.evaluate(points, values, threads);
  }

  /** {@code problem("quadobj").evaluate(point)}. */
  public static float quadobj(float[] point) {
    return QUADOBJ.evaluate(point);
  }

  /** {@code problem("quadobj").evaluate(point)}. */
  public static float quadobj(double[] point) {
    return QUADOBJ.evaluate(point);
  }

  /** {@code problem("quadobj").evaluate(points, values)}. */
  public static void quadobj(float[] points, float[] values) {
    QUADOBJ.evaluate(points, values);
  }

  /** {@code problem("quadobj").evaluate(points, values, threads)}. */
  public static void quadobj(float[] points, float[] values, int threads) {
    QUADOBJ.evaluate(points, values, threads);
  }
}
