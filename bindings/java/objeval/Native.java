// SPDX-License-Identifier: MIT
package objeval;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.HexFormat;
import java.util.Locale;

/**
 * The JNI library and its calls. It is loaded, at first use, from where
 * {@code -Dobjeval.jni=FILE_OR_FOLDER} says; else from inside the jar, through
 * a per-user cache ({@code $XDG_CACHE_HOME/objeval} or
 * {@code ~/.cache/objeval}) whose copy is checked by its SHA-256 at each
 * load, or, where that cannot be written, through a private temporary file;
 * else from {@code java.library.path}.
 */
final class Native {
  /** The library's statuses, as objeval.h numbers them (a test holds them to it). */
  static final int OBJEVAL_OK = 0, OBJEVAL_INTERNAL_ERROR = 4, OBJEVAL_BUDGET_SPENT = 5, OBJEVAL_CANNOT_WRITE = 6,
      OBJEVAL_BAD_ARGUMENT = 7;
  /** A call that left a Java exception pending, as objeval_jni.c says so. */
  static final int PENDING = -1;

  static final String FILE = System.mapLibraryName("objeval_jni");
  static final String PLATFORM = platform();

  static {
    String named = System.getProperty("objeval.jni");
    if (named != null) {
      Path path = Path.of(named);
      if (Files.isDirectory(path)) path = path.resolve(FILE);
      load(path, "-Dobjeval.jni=" + named);
    } else {
      byte[] bundled = bundled();
      if (bundled != null) {
        loadBundled(bundled);
      } else {
        try {
          System.loadLibrary("objeval_jni");
        } catch (UnsatisfiedLinkError e) {
          throw linkError("this jar holds no JNI library for " + PLATFORM + ", and " + FILE
              + " is not on java.library.path (" + System.getProperty("java.library.path") + "): " + e.getMessage());
        }
      }
    }
  }

  private Native() {}

  private static String platform() {
    String os = System.getProperty("os.name").toLowerCase(Locale.ROOT).replaceAll("[^a-z0-9]", "");
    return os + "-" + System.getProperty("os.arch").toLowerCase(Locale.ROOT);
  }

  private static UnsatisfiedLinkError linkError(String why) {
    return new UnsatisfiedLinkError("objeval: " + why
        + "; name the library with -Dobjeval.jni=FILE (or a folder that holds " + FILE + ")");
  }

  private static void load(Path path, String from) {
    try {
      System.load(path.toAbsolutePath().toString());
    } catch (UnsatisfiedLinkError e) {
      throw linkError("cannot load " + path.toAbsolutePath() + " (from " + from + "): " + e.getMessage());
    }
  }

  private static byte[] bundled() {
    try (InputStream in = Native.class.getResourceAsStream("native/" + PLATFORM + "/" + FILE)) {
      return in == null ? null : in.readAllBytes();
    } catch (IOException e) {
      throw new UncheckedIOException("objeval: cannot read the JNI library inside the jar", e);
    }
  }

  private static void loadBundled(byte[] library) {
    String hash;
    try {
      hash = HexFormat.of().formatHex(MessageDigest.getInstance("SHA-256").digest(library));
    } catch (NoSuchAlgorithmException e) {
      throw new IllegalStateException(e);
    }
    Path cached = null;
    try {
      cached = cache().resolve(hash).resolve(FILE);
      if (!Files.isRegularFile(cached) || !hash.equals(sha256(cached))) {
        Files.createDirectories(cached.getParent(), PosixFilePermissions.asFileAttribute(
            PosixFilePermissions.fromString("rwx------")));
        Path partial = Files.createTempFile(cached.getParent(), FILE, ".partial");
        Files.write(partial, library);
        try {
          Files.move(partial, cached, StandardCopyOption.ATOMIC_MOVE, StandardCopyOption.REPLACE_EXISTING);
        } catch (AtomicMoveNotSupportedException e) {
          Files.move(partial, cached, StandardCopyOption.REPLACE_EXISTING);
        }
      }
    } catch (IOException | UnsupportedOperationException | SecurityException e) {
      cached = null;  // no cache to be had: a private temporary file
    }
    if (cached != null) {
      load(cached, "the jar, through " + cached.getParent());
      return;
    }
    try {
      Path temporary = Files.createTempFile("objeval_jni", ".so");
      try {
        Files.write(temporary, library);
        load(temporary, "the jar, through a temporary file");
      } finally {
        Files.deleteIfExists(temporary);  // loaded, it is mapped: the name may go
      }
    } catch (IOException e) {
      throw linkError("cannot write the jar's JNI library to a temporary file: " + e.getMessage());
    }
  }

  private static Path cache() {
    String xdg = System.getenv("XDG_CACHE_HOME");
    Path base = xdg != null && !xdg.isEmpty() ? Path.of(xdg) : Path.of(System.getProperty("user.home"), ".cache");
    return base.resolve("objeval");
  }

  private static String sha256(Path file) throws IOException {
    try {
      return HexFormat.of().formatHex(MessageDigest.getInstance("SHA-256").digest(Files.readAllBytes(file)));
    } catch (NoSuchAlgorithmException e) {
      throw new IllegalStateException(e);
    }
  }

  static native String version();

  static native int problemCount();

  /** Field 0 the name, 1 the description. */
  static native String problemText(int problem, int field);

  static native int problemDimension(int problem);

  static native String statusMessage(int status);

  static native float oneFloat(int problem, float[] point);

  static native float oneDouble(int problem, double[] point);

  /** Points [first, first + count) of the array into values[first ...]: a status. */
  static native int batchFloat(int problem, float[] points, int first, int count, float[] values, int threads);

  static native int batchDouble(int problem, double[] points, int first, int count, float[] values, int threads);

  static native int batchDoubleToDouble(int problem, double[] points, int first, int count, double[] values,
      int threads);

  /** A study's handle, 0 where it could not be opened (lastError says why). */
  static native long studyOpen(byte[] folder, byte[] algorithm, byte[] info, int options);

  static native void studyClose(long study);

  /** A run's handle, 0 where it could not be started. */
  static native long runStart(long study, int problem, long budget, byte[] attributes);

  /** As batchFloat and its likes, through a run; kind 0 floats, 1 doubles in, 2 doubles in and out. */
  static native int runBatch(long run, int problem, Object points, int first, int count, Object values, int threads,
      int kind);

  static native long runEvaluations(long run);

  static native float runBest(long run, float[] point);

  static native int runEnd(long run);

  static native int runFail(long run, byte[] reason);

  static native int runDiscard(long run);

  /** {@code text} as the library takes it: UTF-8, ending in a NUL. */
  static byte[] utf8(String text, String what) {
    if (text.indexOf('\0') >= 0) throw new IllegalArgumentException("objeval: " + what + " holds a NUL");
    return (text + "\0").getBytes(java.nio.charset.StandardCharsets.UTF_8);
  }

  /** The words of the last study call on this thread that failed. */
  static native String lastError();
}
