// SPDX-License-Identifier: MIT
import java.util.Random;
import objeval.Objeval;
import objeval.Problem;

/**
 * A random search on quadobj with the evaluators in process, a batch of
 * candidates at a time:
 *
 *   javac -cp objeval-VERSION.jar Example.java
 *   java -cp objeval-VERSION.jar:. Example
 */
public final class Example {
  public static void main(String[] args) {
    Problem quadobj = Objeval.problem("quadobj");
    int dimension = quadobj.dimension(), batch = 1000;
    double[] best = new double[dimension], candidates = new double[batch * dimension];
    float bestValue = quadobj.evaluate(best);
    float[] values = new float[batch];
    Random random = new Random(1);
    for (int round = 0; round < 20; round++) {
      for (int n = 0; n < candidates.length; n++) {
        candidates[n] = Math.max(-1, Math.min(1, best[n % dimension] + 0.1 * random.nextGaussian()));
      }
      quadobj.evaluate(candidates, values, 0);  // on every CPU
      for (int p = 0; p < batch; p++) {
        if (values[p] < bestValue) {
          bestValue = values[p];
          System.arraycopy(candidates, p * dimension, best, 0, dimension);
        }
      }
    }
    System.out.printf("quadobj: %s after 20,000 points (libobjeval %s)%n", bestValue, Objeval.version());
  }
}
