// SPDX-License-Identifier: MIT
/* The JNI side of objeval.Native: the table, and one call of the C
 * interface a point or a chunk of points, each array reached without a copy
 * for that call alone. The Java side has checked every length. */
#include <jni.h>
#include <objeval/objeval.h>

#include <math.h>

/* What a batch returns where JNI could not reach an array: its
 * OutOfMemoryError is pending, and reaches the caller. */
enum { UNREACHABLE = -1 }; /* Native.PENDING: a Java exception is pending */

JNIEXPORT jstring JNICALL Java_objeval_Native_version(JNIEnv* env, jclass native) {
  (void)native;
  return (*env)->NewStringUTF(env, objeval_version());
}

JNIEXPORT jint JNICALL Java_objeval_Native_problemCount(JNIEnv* env, jclass native) {
  (void)env, (void)native;
  return (jint)objeval_problem_count();
}

JNIEXPORT jstring JNICALL Java_objeval_Native_problemText(JNIEnv* env, jclass native, jint problem, jint field) {
  (void)native;
  objeval_problem const* p = objeval_problem_at((size_t)problem);
  return (*env)->NewStringUTF(env, field == 0 ? p->name : p->description);
}

JNIEXPORT jint JNICALL Java_objeval_Native_problemDimension(JNIEnv* env, jclass native, jint problem) {
  (void)env, (void)native;
  return (jint)objeval_problem_at((size_t)problem)->dimension;
}

JNIEXPORT jstring JNICALL Java_objeval_Native_statusMessage(JNIEnv* env, jclass native, jint status) {
  (void)native;
  return (*env)->NewStringUTF(env, objeval_status_message((objeval_status)status));
}

JNIEXPORT jfloat JNICALL Java_objeval_Native_oneFloat(JNIEnv* env, jclass native, jint problem, jfloatArray point) {
  (void)native;
  float value = NAN;
  float* values = (*env)->GetPrimitiveArrayCritical(env, point, NULL);
  if (values == NULL) return value;
  objeval_evaluate((size_t)problem, values, 1, &value, 1);
  (*env)->ReleasePrimitiveArrayCritical(env, point, values, JNI_ABORT);
  return value;
}

JNIEXPORT jfloat JNICALL Java_objeval_Native_oneDouble(JNIEnv* env, jclass native, jint problem, jdoubleArray point) {
  (void)native;
  float value = NAN;
  jsize const dimension = (*env)->GetArrayLength(env, point);
  double* values = (*env)->GetPrimitiveArrayCritical(env, point, NULL);
  if (values == NULL) return value;
  objeval_evaluate_double((size_t)problem, values, 1, (size_t)dimension, 1, &value, 1);
  (*env)->ReleasePrimitiveArrayCritical(env, point, values, JNI_ABORT);
  return value;
}

/* Points [first, first + count) into values[first ...]: both arrays held
 * for this chunk alone. */
static jint chunk(JNIEnv* env, jint problem, jarray points, jint first, jint count, jarray values, jint threads,
                  int doubles_in, int doubles_out) {
  size_t const dimension = objeval_problem_at((size_t)problem)->dimension;
  void* in = (*env)->GetPrimitiveArrayCritical(env, points, NULL);
  if (in == NULL) return UNREACHABLE;
  void* out = (*env)->GetPrimitiveArrayCritical(env, values, NULL);
  if (out == NULL) {
    (*env)->ReleasePrimitiveArrayCritical(env, points, in, JNI_ABORT);
    return UNREACHABLE;
  }
  size_t const at = (size_t)first * dimension, n = (size_t)count, p = (size_t)problem;
  unsigned const t = (unsigned)threads;
  objeval_status const status =
      doubles_out  ? objeval_evaluate_doubles(p, (double*)in + at, n, dimension, 1, (double*)out + first, t)
      : doubles_in ? objeval_evaluate_double(p, (double*)in + at, n, dimension, 1, (float*)out + first, t)
                   : objeval_evaluate(p, (float*)in + at, n, (float*)out + first, t);
  (*env)->ReleasePrimitiveArrayCritical(env, values, out, 0);
  (*env)->ReleasePrimitiveArrayCritical(env, points, in, JNI_ABORT);
  return (jint)status;
}

JNIEXPORT jint JNICALL Java_objeval_Native_batchFloat(JNIEnv* env, jclass native, jint problem, jfloatArray points,
                                                      jint first, jint count, jfloatArray values, jint threads) {
  (void)native;
  return chunk(env, problem, points, first, count, values, threads, 0, 0);
}

JNIEXPORT jint JNICALL Java_objeval_Native_batchDouble(JNIEnv* env, jclass native, jint problem, jdoubleArray points,
                                                       jint first, jint count, jfloatArray values, jint threads) {
  (void)native;
  return chunk(env, problem, points, first, count, values, threads, 1, 0);
}

JNIEXPORT jint JNICALL Java_objeval_Native_batchDoubleToDouble(JNIEnv* env, jclass native, jint problem,
                                                               jdoubleArray points, jint first, jint count,
                                                               jdoubleArray values, jint threads) {
  (void)native;
  return chunk(env, problem, points, first, count, values, threads, 1, 1);
}
