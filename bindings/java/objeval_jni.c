// SPDX-License-Identifier: MIT
/* The JNI side of objeval.Objeval: arrays reached without a copy, then one
 * call of the C interface. The Java side has checked every length. */
#include <jni.h>
#include <objeval/objeval.h>

#include <math.h>

JNIEXPORT jstring JNICALL Java_objeval_Objeval_version(JNIEnv* env, jclass objeval) {
  (void)objeval;
  return (*env)->NewStringUTF(env, objeval_version());
}

JNIEXPORT jfloat JNICALL Java_objeval_Objeval_evaluateOne(JNIEnv* env, jclass objeval, jint problem, jfloatArray point) {
  (void)objeval;
  float value = NAN;
  float* values = (*env)->GetPrimitiveArrayCritical(env, point, NULL);
  if (values == NULL) return value; /* an OutOfMemoryError is pending */
  objeval_evaluate((size_t)problem, values, 1, &value, 1);
  (*env)->ReleasePrimitiveArrayCritical(env, point, values, JNI_ABORT);
  return value;
}

JNIEXPORT jfloat JNICALL Java_objeval_Objeval_evaluateOneDouble(JNIEnv* env, jclass objeval, jint problem,
                                                                jdoubleArray point) {
  (void)objeval;
  float value = NAN;
  jsize const dimension = (*env)->GetArrayLength(env, point);
  double* values = (*env)->GetPrimitiveArrayCritical(env, point, NULL);
  if (values == NULL) return value;
  objeval_evaluate_double((size_t)problem, values, 1, (size_t)dimension, 1, &value, 1);
  (*env)->ReleasePrimitiveArrayCritical(env, point, values, JNI_ABORT);
  return value;
}

JNIEXPORT jint JNICALL Java_objeval_Objeval_evaluate(JNIEnv* env, jclass objeval, jint problem, jfloatArray points,
                                                     jint count, jfloatArray values, jint threads) {
  (void)objeval;
  float* in = (*env)->GetPrimitiveArrayCritical(env, points, NULL);
  if (in == NULL) return -1;
  float* out = (*env)->GetPrimitiveArrayCritical(env, values, NULL);
  if (out == NULL) {
    (*env)->ReleasePrimitiveArrayCritical(env, points, in, JNI_ABORT);
    return -1;
  }
  int const status = objeval_evaluate((size_t)problem, in, (size_t)count, out, (unsigned)threads);
  (*env)->ReleasePrimitiveArrayCritical(env, values, out, 0);
  (*env)->ReleasePrimitiveArrayCritical(env, points, in, JNI_ABORT);
  return status;
}
