// SPDX-License-Identifier: MIT
/* The JNI side of objeval.Native: the table, and one call of the C
 * interface a point or a chunk of points, each array reached without a copy
 * for that call alone. The Java side has checked every length. */
#include <jni.h>
#include <objeval/objeval.h>

#include <math.h>
#include <stdint.h>

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
static jint chunk_of(JNIEnv* env, jint problem, objeval_run* run, jarray points, jint first, jint count, jarray values,
                     jint threads, int doubles_in, int doubles_out) {
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
  objeval_status status;
  if (run != NULL)
    status = doubles_out  ? objeval_run_evaluate_doubles(run, (double*)in + at, n, dimension, 1, (double*)out + first, t, NULL)
             : doubles_in ? objeval_run_evaluate_double(run, (double*)in + at, n, dimension, 1, (float*)out + first, t, NULL)
                          : objeval_run_evaluate(run, (float*)in + at, n, (float*)out + first, t, NULL);
  else
    status = doubles_out  ? objeval_evaluate_doubles(p, (double*)in + at, n, dimension, 1, (double*)out + first, t)
             : doubles_in ? objeval_evaluate_double(p, (double*)in + at, n, dimension, 1, (float*)out + first, t)
                          : objeval_evaluate(p, (float*)in + at, n, (float*)out + first, t);
  (*env)->ReleasePrimitiveArrayCritical(env, values, out, 0);
  (*env)->ReleasePrimitiveArrayCritical(env, points, in, JNI_ABORT);
  return (jint)status;
}

static jint chunk(JNIEnv* env, jint problem, jarray points, jint first, jint count, jarray values, jint threads,
                  int doubles_in, int doubles_out) {
  return chunk_of(env, problem, NULL, points, first, count, values, threads, doubles_in, doubles_out);
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

/* Studies: handles are the library's pointers; 0 where a call failed, with
 * its words in lastError. */
/* Text comes as UTF-8 bytes ending in a NUL, as the Java side encodes it:
 * JNI's own strings are its modified UTF-8, which is not UTF-8. */
static char* utf8(JNIEnv* env, jbyteArray text) {
  return text != NULL ? (char*)(*env)->GetByteArrayElements(env, text, NULL) : NULL;
}

static void release(JNIEnv* env, jbyteArray text, char* bytes) {
  if (bytes != NULL) (*env)->ReleaseByteArrayElements(env, text, (jbyte*)bytes, JNI_ABORT);
}

JNIEXPORT jlong JNICALL Java_objeval_Native_studyOpen(JNIEnv* env, jclass native, jbyteArray folder,
                                                      jbyteArray algorithm, jbyteArray info, jint options) {
  (void)native;
  char* f = utf8(env, folder);
  char* a = utf8(env, algorithm);
  char* i = utf8(env, info);
  objeval_study* study = NULL;
  if (f != NULL && a != NULL && i != NULL) objeval_study_open(f, a, i, (unsigned)options, &study);
  release(env, folder, f);
  release(env, algorithm, a);
  release(env, info, i);
  return (jlong)(intptr_t)study;
}

JNIEXPORT void JNICALL Java_objeval_Native_studyClose(JNIEnv* env, jclass native, jlong study) {
  (void)env, (void)native;
  objeval_study_close((objeval_study*)(intptr_t)study);
}

JNIEXPORT jlong JNICALL Java_objeval_Native_runStart(JNIEnv* env, jclass native, jlong study, jint problem,
                                                     jlong budget, jbyteArray attributes) {
  (void)native;
  char* text = utf8(env, attributes);
  objeval_run* run = NULL;
  if (text != NULL) objeval_run_start((objeval_study*)(intptr_t)study, (size_t)problem, (unsigned long long)budget, text, &run);
  release(env, attributes, text);
  return (jlong)(intptr_t)run;
}

/* kind: 0 floats in and out, 1 doubles in, 2 doubles in and out. */
JNIEXPORT jint JNICALL Java_objeval_Native_runBatch(JNIEnv* env, jclass native, jlong run, jint problem, jarray points,
                                                    jint first, jint count, jarray values, jint threads, jint kind) {
  (void)native;
  return chunk_of(env, problem, (objeval_run*)(intptr_t)run, points, first, count, values, threads, kind >= 1, kind == 2);
}

JNIEXPORT jlong JNICALL Java_objeval_Native_runEvaluations(JNIEnv* env, jclass native, jlong run) {
  (void)env, (void)native;
  return (jlong)objeval_run_evaluations((objeval_run*)(intptr_t)run);
}

JNIEXPORT jfloat JNICALL Java_objeval_Native_runBest(JNIEnv* env, jclass native, jlong run, jfloatArray point) {
  (void)native;
  float* p = (*env)->GetFloatArrayElements(env, point, NULL);
  if (p == NULL) return NAN;
  float const best = objeval_run_best((objeval_run*)(intptr_t)run, p);
  (*env)->ReleaseFloatArrayElements(env, point, p, 0);
  return best;
}

JNIEXPORT jint JNICALL Java_objeval_Native_runEnd(JNIEnv* env, jclass native, jlong run) {
  (void)env, (void)native;
  return (jint)objeval_run_end((objeval_run*)(intptr_t)run);
}

JNIEXPORT jint JNICALL Java_objeval_Native_runFail(JNIEnv* env, jclass native, jlong run, jbyteArray reason) {
  (void)native;
  char* text = utf8(env, reason);
  jint const status = (jint)objeval_run_fail((objeval_run*)(intptr_t)run, text);
  release(env, reason, text);
  return status;
}

JNIEXPORT jint JNICALL Java_objeval_Native_runDiscard(JNIEnv* env, jclass native, jlong run) {
  (void)env, (void)native;
  return (jint)objeval_run_discard((objeval_run*)(intptr_t)run);
}

JNIEXPORT jstring JNICALL Java_objeval_Native_lastError(JNIEnv* env, jclass native) {
  (void)native;
  return (*env)->NewStringUTF(env, objeval_last_error());
}
