// SPDX-License-Identifier: MIT
import java.io.BufferedReader;
import java.io.BufferedWriter;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStreamWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * One objeval-eval process kept for a whole optimisation run, as the Java
 * multi-objective frameworks keep an external problem: each call writes the
 * variables as one line of whitespace-separated numbers to its standard input
 * and reads the objective from one line of its standard output.
 *
 * <pre>
 * try (ObjevalCoprocess quadobj = new ObjevalCoprocess("objeval-eval", "quadobj")) {
 *   double value = quadobj.evaluate(x);
 * }
 * </pre>
 *
 * Each number is written as Double.toString writes it and read as the
 * programs read input.txt: rounded once, from that text, to the nearest float.
 */
public final class ObjevalCoprocess implements AutoCloseable {
  private final Process process;
  private final BufferedWriter toEvaluator;
  private final BufferedReader fromEvaluator;

  public ObjevalCoprocess(String objevalEval, String problem) throws IOException {
    process = new ProcessBuilder(objevalEval, problem).redirectError(ProcessBuilder.Redirect.INHERIT).start();
    toEvaluator = new BufferedWriter(new OutputStreamWriter(process.getOutputStream(), StandardCharsets.US_ASCII));
    fromEvaluator = new BufferedReader(new InputStreamReader(process.getInputStream(), StandardCharsets.US_ASCII));
  }

  /** The objective at {@code x}: the program's value, widened from float. */
  public double evaluate(double[] x) throws IOException {
    StringBuilder line = new StringBuilder(x.length * 12);
    for (int i = 0; i < x.length; i++) {
      if (i > 0) line.append(' ');
      line.append(x[i]);
    }
    toEvaluator.write(line.append('\n').toString());
    toEvaluator.flush();
    String answer = fromEvaluator.readLine();
    if (answer == null) {
      throw new IOException("objeval-eval refused the point (see its message above)");
    }
    return Double.parseDouble(answer);
  }

  /** Ends objeval-eval: closing its input ends it with exit status 0. */
  @Override
  public void close() throws IOException {
    toEvaluator.close();
    try {
      int status = process.waitFor();
      if (status != 0) throw new IOException("objeval-eval ended with exit status " + status);
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
      throw new IOException(e);
    } finally {
      fromEvaluator.close();
    }
  }

  /** ObjevalCoprocess OBJEVAL_EVAL PROBLEM POINT_FILE...: the value of each point, as the program writes it. */
  public static void main(String[] args) throws IOException {
    if (args.length < 3) {
      System.err.println("usage: ObjevalCoprocess OBJEVAL_EVAL PROBLEM POINT_FILE...");
      System.exit(2);
    }
    try (ObjevalCoprocess evaluator = new ObjevalCoprocess(args[0], args[1])) {
      for (int f = 2; f < args.length; f++) {
        String[] fields = Files.readString(Path.of(args[f])).trim().split("\\s+");
        double[] x = new double[fields.length];
        for (int i = 0; i < x.length; i++) x[i] = Double.parseDouble(fields[i]);
        System.out.println(String.format(java.util.Locale.ROOT, "%f", evaluator.evaluate(x)));
      }
    }
  }
}
