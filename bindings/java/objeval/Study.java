// SPDX-License-Identifier: MIT
package objeval;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Path;
import java.util.Objects;

/**
 * A study: runs of an algorithm on the problems, every evaluation counted in
 * order and each improvement of a run's best-so-far value logged in
 * FOLDER/ALGORITHM, in the format IOHanalyzer reads ({@code DataSetList(folder)}).
 * The problems are minimised. Threads and processes may write one study at once.
 *
 * <pre>{@code
 * try (Study study = Study.open(Path.of("results"), "random search", "sigma 0.1");
 *      Run run = study.run("quadobj", 1000, "seed=1")) {
 *   float value = run.evaluate(point);      // each point one evaluation
 * }
 * }</pre>
 */
public final class Study implements AutoCloseable {
  /** A row for every evaluation, not only the improvements. */
  public static final int EVERY_EVALUATION = 1;
  /** Each row with its point's coordinates. */
  public static final int POINTS = 2;
  /** A run counts as ended once its files are on the disk. */
  public static final int DURABLE = 4;
  /** The algorithm's runs in the folder are meant to be added to (else a line on standard error says they are there). */
  public static final int ADD = 8;
  private static final String LANGUAGE = "Java " + System.getProperty("java.version");

  private long handle;

  private Study(long handle) {
    this.handle = handle;
  }

  /** Opens the study in {@code folder} for {@code algorithm}, described by {@code info}. */
  public static Study open(Path folder, String algorithm, String info) {
    return open(folder, algorithm, info, 0);
  }

  /**
   * The same with {@code options}, {@link #EVERY_EVALUATION}, {@link #POINTS},
   * {@link #DURABLE} and {@link #ADD}; an {@link UncheckedIOException} where the folder
   * cannot be written, an {@link IllegalArgumentException} where the algorithm's runs
   * there log other rows.
   */
  public static Study open(Path folder, String algorithm, String info, int options) {
    Objects.requireNonNull(folder, "the folder is null");
    long handle = Native.studyOpen(Native.utf8(folder.toString(), "the folder"),
        Native.utf8(Objects.requireNonNull(algorithm, "the algorithm is null"), "the algorithm"),
        Native.utf8(info == null ? "" : info, "the info"), options);
    if (handle == 0) throw failure("the study in " + folder, Native.OBJEVAL_CANNOT_WRITE);
    return new Study(handle);
  }

  /**
   * Starts a run of {@code problem}: at most {@code budget} evaluations, a whole number
   * from 1 (anything less is an {@link IllegalArgumentException}), with {@code attributes}
   * ("seed=1;restart=0") recorded with it, and the language ({@code language=Java 17...}).
   */
  public Run run(String problem, long budget, String attributes) {
    if (budget < 1) {
      throw new IllegalArgumentException("objeval: a budget is a whole number of evaluations from 1, not " + budget
          + "; run(problem, attributes) has none");
    }
    return start(problem, budget, attributes);
  }

  /** Starts a run of {@code problem} with no budget. */
  public Run run(String problem, String attributes) {
    return start(problem, 0, attributes);
  }

  private Run start(String problem, long budget, String attributes) {
    if (handle == 0) throw new IllegalStateException("objeval: the study is closed");
    Problem target = Objeval.problem(problem);
    String text = attributes == null ? "" : attributes;
    if (!(";" + text).contains(";language=")) text += (text.isEmpty() ? "" : ";") + "language=" + LANGUAGE;
    long run = Native.runStart(handle, target.index(), budget, Native.utf8(text, "the attributes"));
    if (run == 0) throw failure("a run of " + problem, Native.OBJEVAL_BAD_ARGUMENT);
    return new Run(target, run);
  }

  /** Closes the study; its runs not yet ended stay usable until they end. */
  @Override
  public void close() {
    if (handle != 0) Native.studyClose(handle);
    handle = 0;
  }

  static RuntimeException failure(String what, int status) {
    String words = "objeval: " + what + ": " + Native.lastError();
    if (status == Native.OBJEVAL_CANNOT_WRITE && !words.contains("attribute")) {
      return new UncheckedIOException(new IOException(words));
    }
    return new IllegalArgumentException(words);
  }
}
