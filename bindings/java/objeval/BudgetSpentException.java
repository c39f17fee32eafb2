// SPDX-License-Identifier: MIT
package objeval;

/**
 * A run was asked for more evaluations than its budget has left: the points
 * within it were evaluated, {@link #evaluated()} of this call's.
 */
public final class BudgetSpentException extends RuntimeException {
  private static final long serialVersionUID = 1L;
  private final long evaluated;

  BudgetSpentException(String message, long evaluated) {
    super(message);
    this.evaluated = evaluated;
  }

  /** How many of the call's points were evaluated, the first ones. */
  public long evaluated() {
    return evaluated;
  }
}
